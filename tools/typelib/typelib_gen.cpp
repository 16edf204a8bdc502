// Writes the control's type library from the automation contract.
//   typelib_gen <output.tlb>
// Runs at build time; the module embeds the result as its TYPELIB resource.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "com_server/Vlserviceadapter_tlb.h"
#include "support/win_handles.h"

namespace {

#define VL_WIDEN_(text) L##text
#define VL_WIDEN(text) VL_WIDEN_(text)
#define VL_WSTR_(token) VL_WIDEN_(#token)
#define VL_WSTR(token) VL_WSTR_(token)

enum class Direction { In, InOut, Retval };

struct Param {
    const char* type; // a type token of the contract
    const wchar_t* name;
    Direction direction;
};

enum class MemberKind { Property, FontProperty, Method };

struct Member {
    MemberKind kind;
    DISPID id;
    const wchar_t* name;
    const char* type; // properties only
    bool writable;
    bool hidden;
    std::vector<Param> params; // methods only
};

struct Event {
    DISPID id;
    const wchar_t* name;
    bool returnsHresult;
    std::vector<Param> params;
};

struct Constant {
    const wchar_t* name;
    LONG value;
};

struct Enumeration {
    const char* token;
    const wchar_t* name;
    GUID guid;
    bool constantHelp;
    std::vector<Constant> constants;
};

#define VL_IN(T, name) Param{#T, VL_WSTR(name), Direction::In}
#define VL_INOUT(T, name) Param{#T, VL_WSTR(name), Direction::InOut}
#define VL_RETVAL(T, name) Param{#T, VL_WSTR(name), Direction::Retval}
#define VL_CONST(name, value) Constant{VL_WSTR(name), value}
#define VL_ENUM(Name, guid, constantHelp, constants) \
    Enumeration{#Name, VL_WSTR(Name), VL_MAKE_GUID_ guid, constantHelp, {VL_UNPAREN constants}},
#define VL_PROPERTY(dispid, Name, T, access, hidden) \
    Member{MemberKind::Property, dispid, VL_WSTR(Name), #T, std::string_view(#access) == "RW", hidden, {}},
#define VL_FONT_PROPERTY(dispid, Name) Member{MemberKind::FontProperty, dispid, VL_WSTR(Name), "Font", true, false, {}},
#define VL_METHOD(dispid, Name, params) \
    Member{MemberKind::Method, dispid, VL_WSTR(Name), nullptr, false, false, {VL_UNPAREN params}},
#define VL_EVENT(dispid, Name, result, params) \
    Event{dispid, VL_WSTR(Name), std::string_view(#result) == "HRESULT", {VL_UNPAREN params}},

const std::vector<Enumeration> kEnumerations{VL_ENUMS};
const std::vector<Member> kMembers{VL_MEMBERS};
const std::vector<Event> kEvents{VL_EVENTS};

#undef VL_IN
#undef VL_INOUT
#undef VL_RETVAL
#undef VL_CONST
#undef VL_ENUM
#undef VL_PROPERTY
#undef VL_FONT_PROPERTY
#undef VL_METHOD
#undef VL_EVENT

// The first failing step ends the run.
struct Failure {
    std::string step;
    HRESULT hr;
};

void Check(HRESULT hr, const std::string& step)
{
    if (FAILED(hr)) throw Failure{step, hr};
}

std::string Narrow(const wchar_t* text)
{
    return std::string(text, text + wcslen(text));
}

class LibraryWriter {
public:
    explicit LibraryWriter(const std::wstring& path);
    void Write();

private:
    vl::ComPtr<ICreateTypeInfo> Create(const wchar_t* name, TYPEKIND kind, const GUID& guid, const char* help);
    HREFTYPE Reference(ICreateTypeInfo* into, ITypeInfo* type);
    HREFTYPE Reference(ICreateTypeInfo* into, ICreateTypeInfo* type);
    HREFTYPE StdoleReference(ICreateTypeInfo* into, const wchar_t* name);
    TYPEDESC Resolve(ICreateTypeInfo* into, std::string_view token);
    TYPEDESC Pointer(const TYPEDESC& target);
    void AddFunction(ICreateTypeInfo* into, UINT index, const Member& member, INVOKEKIND kind, FUNCKIND funcKind,
                     VARTYPE result, const std::vector<std::pair<TYPEDESC, USHORT>>& params,
                     std::vector<const wchar_t*> names);

    void WriteEnumeration(ICreateTypeInfo* info, const Enumeration& enumeration);
    void WriteInterface(ICreateTypeInfo* info);
    void WriteEvents(ICreateTypeInfo* info);
    void WriteClass(ICreateTypeInfo* info, ICreateTypeInfo* interfaceInfo, ICreateTypeInfo* eventsInfo);

    vl::ComPtr<ICreateTypeLib2> m_library;
    vl::ComPtr<ITypeLib> m_stdole;
    vl::ComPtr<ITypeInfo> m_dispatch; // the base of both interfaces
    std::vector<vl::ComPtr<ICreateTypeInfo>> m_enumInfos; // in kEnumerations order
    std::deque<TYPEDESC> m_pointees;                      // targets of VT_PTR descriptions
};

LibraryWriter::LibraryWriter(const std::wstring& path)
{
    Check(::CreateTypeLib2(kLibrarySysKind, path.c_str(), m_library.put()), "CreateTypeLib2");
    Check(::LoadRegTypeLib(IID_StdOle, 2, 0, LOCALE_NEUTRAL, m_stdole.put()), "LoadRegTypeLib(stdole2)");
    Check(m_stdole->GetTypeInfoOfGuid(IID_IDispatch, m_dispatch.put()), "stdole2 IDispatch");
}

vl::ComPtr<ICreateTypeInfo> LibraryWriter::Create(const wchar_t* name, TYPEKIND kind, const GUID& guid,
                                                   const char* help)
{
    const std::string step = "type " + Narrow(name);
    vl::ComPtr<ICreateTypeInfo> info;
    Check(m_library->CreateTypeInfo(const_cast<LPOLESTR>(name), kind, info.put()), step);
    Check(info->SetGuid(guid), step + " guid");
    Check(info->SetVersion(1, 0), step + " version");
    if (help) {
        const std::wstring text(help, help + strlen(help));
        Check(info->SetDocString(const_cast<LPOLESTR>(text.c_str())), step + " help string");
    }
    return info;
}

HREFTYPE LibraryWriter::Reference(ICreateTypeInfo* into, ITypeInfo* type)
{
    HREFTYPE ref = 0;
    Check(into->AddRefTypeInfo(type, &ref), "AddRefTypeInfo");
    return ref;
}

HREFTYPE LibraryWriter::Reference(ICreateTypeInfo* into, ICreateTypeInfo* type)
{
    vl::ComPtr<ITypeInfo> info;
    Check(type->QueryInterface(IID_ITypeInfo, info.put_void()), "ITypeInfo of a new type");
    return Reference(into, info.get());
}

HREFTYPE LibraryWriter::StdoleReference(ICreateTypeInfo* into, const wchar_t* name)
{
    ITypeInfo* found = nullptr;
    MEMBERID member = 0;
    USHORT count = 1;
    std::wstring key(name);
    Check(m_stdole->FindName(key.data(), 0, &found, &member, &count), "stdole2 " + Narrow(name));
    if (count == 0) throw Failure{"stdole2 lacks " + Narrow(name), TYPE_E_ELEMENTNOTFOUND};
    const auto info = vl::ComPtr<ITypeInfo>::Adopt(found);
    return Reference(into, info.get());
}

TYPEDESC LibraryWriter::Pointer(const TYPEDESC& target)
{
    TYPEDESC pointer{};
    pointer.vt = VT_PTR;
    pointer.lptdesc = &m_pointees.emplace_back(target);
    return pointer;
}

TYPEDESC LibraryWriter::Resolve(ICreateTypeInfo* into, std::string_view token)
{
    static const std::pair<std::string_view, VARTYPE> kBaseTypes[] = {
        {"VARIANT_BOOL", VT_BOOL}, {"LONG", VT_I4}, {"ULONG", VT_UI4}, {"SHORT", VT_I2}, {"BSTR", VT_BSTR}};
    TYPEDESC desc{};
    for (const auto& [name, vt] : kBaseTypes) {
        if (token == name) {
            desc.vt = vt;
            return desc;
        }
    }
    desc.vt = VT_USERDEFINED;
    if (token == "OLE_COLOR" || token == "Font") {
        const std::wstring name(token.begin(), token.end());
        desc.hreftype = StdoleReference(into, name.c_str());
        return desc;
    }
    for (std::size_t i = 0; i < kEnumerations.size(); ++i) {
        if (token == kEnumerations[i].token) {
            desc.hreftype = Reference(into, m_enumInfos[i].get());
            return desc;
        }
    }
    throw Failure{"unknown type " + std::string(token), TYPE_E_ELEMENTNOTFOUND};
}

void LibraryWriter::AddFunction(ICreateTypeInfo* into, UINT index, const Member& member, INVOKEKIND kind,
                                FUNCKIND funcKind, VARTYPE result,
                                const std::vector<std::pair<TYPEDESC, USHORT>>& params,
                                std::vector<const wchar_t*> names)
{
    std::vector<ELEMDESC> elements(params.size());
    for (std::size_t i = 0; i < params.size(); ++i) {
        elements[i].tdesc = params[i].first;
        elements[i].paramdesc.wParamFlags = params[i].second;
    }
    FUNCDESC func{};
    func.memid = member.id;
    func.lprgelemdescParam = elements.empty() ? nullptr : elements.data();
    func.funckind = funcKind;
    func.invkind = kind;
    func.callconv = CC_STDCALL;
    func.cParams = static_cast<SHORT>(elements.size());
    // Dual interfaces: our slots follow the seven of IDispatch.
    func.oVft = funcKind == FUNC_PUREVIRTUAL ? static_cast<SHORT>((7 + index) * sizeof(void*)) : 0;
    func.elemdescFunc.tdesc.vt = result;
    func.wFuncFlags = member.hidden ? FUNCFLAG_FHIDDEN : 0;

    const std::string step = "member " + Narrow(member.name);
    Check(into->AddFuncDesc(index, &func), step);
    Check(into->SetFuncAndParamNames(index, const_cast<LPOLESTR*>(names.data()), static_cast<UINT>(names.size())),
          step + " names");
}

void LibraryWriter::WriteEnumeration(ICreateTypeInfo* info, const Enumeration& enumeration)
{
    for (UINT i = 0; i < enumeration.constants.size(); ++i) {
        const Constant& constant = enumeration.constants[i];
        VARIANT value;
        value.vt = VT_I4;
        value.lVal = constant.value;
        VARDESC var{};
        var.memid = 0x40000000 + static_cast<MEMBERID>(i);
        var.lpvarValue = &value;
        var.elemdescVar.tdesc.vt = VT_I4;
        var.varkind = VAR_CONST;
        const std::string step = "constant " + Narrow(constant.name);
        Check(info->AddVarDesc(i, &var), step);
        Check(info->SetVarName(i, const_cast<LPOLESTR>(constant.name)), step + " name");
        if (enumeration.constantHelp)
            Check(info->SetVarDocString(i, const_cast<LPOLESTR>(constant.name)), step + " help string");
    }
}

void LibraryWriter::WriteInterface(ICreateTypeInfo* info)
{
    Check(info->AddImplType(0, Reference(info, m_dispatch.get())), "IVLServiceAdapterX base");
    Check(info->SetTypeFlags(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION), "IVLServiceAdapterX flags");

    constexpr USHORT kIn = PARAMFLAG_FIN;
    constexpr USHORT kRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
    UINT slot = 0;
    for (const Member& member : kMembers) {
        switch (member.kind) {
        case MemberKind::Property: {
            const TYPEDESC type = Resolve(info, member.type);
            AddFunction(info, slot++, member, INVOKE_PROPERTYGET, FUNC_PUREVIRTUAL, VT_HRESULT,
                        {{Pointer(type), kRetval}}, {member.name, L"Value"});
            if (member.writable)
                AddFunction(info, slot++, member, INVOKE_PROPERTYPUT, FUNC_PUREVIRTUAL, VT_HRESULT, {{type, kIn}},
                            {member.name});
            break;
        }
        case MemberKind::FontProperty: {
            // putref receives a pointer to the font reference, put the reference itself.
            const TYPEDESC font = Pointer(Resolve(info, member.type));
            AddFunction(info, slot++, member, INVOKE_PROPERTYGET, FUNC_PUREVIRTUAL, VT_HRESULT,
                        {{Pointer(font), kRetval}}, {member.name, L"Value"});
            AddFunction(info, slot++, member, INVOKE_PROPERTYPUT, FUNC_PUREVIRTUAL, VT_HRESULT, {{font, kIn}},
                        {member.name});
            AddFunction(info, slot++, member, INVOKE_PROPERTYPUTREF, FUNC_PUREVIRTUAL, VT_HRESULT,
                        {{Pointer(font), kIn}}, {member.name});
            break;
        }
        case MemberKind::Method: {
            std::vector<std::pair<TYPEDESC, USHORT>> params;
            std::vector<const wchar_t*> names{member.name};
            for (const Param& param : member.params) {
                const TYPEDESC type = Resolve(info, param.type);
                if (param.direction == Direction::Retval)
                    params.push_back({Pointer(type), kRetval});
                else
                    params.push_back({type, kIn});
                names.push_back(param.name);
            }
            AddFunction(info, slot++, member, INVOKE_FUNC, FUNC_PUREVIRTUAL, VT_HRESULT, params, names);
            break;
        }
        }
    }
}

void LibraryWriter::WriteEvents(ICreateTypeInfo* info)
{
    Check(info->AddImplType(0, Reference(info, m_dispatch.get())), "IVLServiceAdapterXEvents base");

    UINT index = 0;
    for (const Event& event : kEvents) {
        std::vector<std::pair<TYPEDESC, USHORT>> params;
        std::vector<const wchar_t*> names{event.name};
        for (const Param& param : event.params) {
            const TYPEDESC type = Resolve(info, param.type);
            if (param.direction == Direction::InOut)
                params.push_back({Pointer(type), PARAMFLAG_FIN | PARAMFLAG_FOUT});
            else
                params.push_back({type, PARAMFLAG_FIN});
            names.push_back(param.name);
        }
        const Member member{MemberKind::Method, event.id, event.name, nullptr, false, false, {}};
        AddFunction(info, index++, member, INVOKE_FUNC, FUNC_DISPATCH, event.returnsHresult ? VT_HRESULT : VT_VOID,
                    params, names);
    }
}

void LibraryWriter::WriteClass(ICreateTypeInfo* info, ICreateTypeInfo* interfaceInfo, ICreateTypeInfo* eventsInfo)
{
    Check(info->AddImplType(0, Reference(info, interfaceInfo)), "VLServiceAdapterX interface");
    Check(info->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "VLServiceAdapterX interface flags");
    Check(info->AddImplType(1, Reference(info, eventsInfo)), "VLServiceAdapterX events");
    Check(info->SetImplTypeFlags(1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE), "VLServiceAdapterX events flags");
    Check(info->SetTypeFlags(TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL), "VLServiceAdapterX flags");
}

void LibraryWriter::Write()
{
    std::wstring name = VL_WSTR(VL_LIBRARY_NAME);
    Check(m_library->SetName(name.data()), "library name");
    Check(m_library->SetGuid(LIBID_VLServiceAdapter), "library guid");
    Check(m_library->SetVersion(kLibraryMajorVersion, kLibraryMinorVersion), "library version");
    Check(m_library->SetLcid(LOCALE_NEUTRAL), "library locale");
    std::wstring help = VL_WIDEN(VL_LIBRARY_HELP);
    Check(m_library->SetDocString(help.data()), "library help string");
    Check(m_library->SetLibFlags(LIBFLAG_FCONTROL), "library flags");

    // Every type is created first, in library order, so that members can refer to any.
    const auto interfaceInfo =
        Create(L"IVLServiceAdapterX", TKIND_INTERFACE, IID_IVLServiceAdapterX, VL_INTERFACE_HELP);
    const auto eventsInfo =
        Create(L"IVLServiceAdapterXEvents", TKIND_DISPATCH, DIID_IVLServiceAdapterXEvents, VL_EVENTS_HELP);
    const auto classInfo = Create(L"VLServiceAdapterX", TKIND_COCLASS, CLSID_VLServiceAdapterX, VL_CONTROL_HELP);
    for (const Enumeration& enumeration : kEnumerations)
        m_enumInfos.push_back(Create(enumeration.name, TKIND_ENUM, enumeration.guid, nullptr));

    for (std::size_t i = 0; i < kEnumerations.size(); ++i) WriteEnumeration(m_enumInfos[i].get(), kEnumerations[i]);
    WriteInterface(interfaceInfo.get());
    WriteEvents(eventsInfo.get());
    WriteClass(classInfo.get(), interfaceInfo.get(), eventsInfo.get());

    for (const auto& info : m_enumInfos) Check(info->LayOut(), "enumeration layout");
    Check(interfaceInfo->LayOut(), "IVLServiceAdapterX layout");
    Check(eventsInfo->LayOut(), "IVLServiceAdapterXEvents layout");
    Check(classInfo->LayOut(), "VLServiceAdapterX layout");
    Check(m_library->SaveAllChanges(), "save");
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: typelib_gen <output.tlb>\n");
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    try {
        LibraryWriter writer(argv[1]);
        writer.Write();
    } catch (const Failure& failure) {
        std::fprintf(stderr, "typelib_gen: %s failed: 0x%08lX\n", failure.step.c_str(),
                     static_cast<unsigned long>(failure.hr));
        status = 1;
    }
    ::CoUninitialize();
    return status;
}
