// The type library compiled into the module, read back through the platform and compared
// with literal tables of what it must declare, and with the contract the C++ side is built from.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <set>
#include <string>
#include <vector>

#include "com_server/Vlserviceadapter_tlb.h"
#include "fixtures/test_paths.h"
#include "support/win_handles.h"

namespace {

using vl::ComPtr;
using vl::UniqueBstr;

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
constexpr USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;

struct ParamRow {
    const wchar_t* name; // nullptr: unnamed
    const wchar_t* type;
    USHORT flags;
};

struct FunctionRow {
    DISPID id;
    std::wstring name;
    INVOKEKIND kind;
    bool hidden;
    std::vector<ParamRow> params;
};

// The property table: type T of each property; "get" or "get,put".
struct PropertyRow {
    DISPID id;
    const wchar_t* name;
    bool writable;
    const wchar_t* type;
    bool hidden;
};

const PropertyRow kProperties[] = {
    {201, L"Visible", true, L"VARIANT_BOOL", true},
    {202, L"AutoScroll", true, L"VARIANT_BOOL", false},
    {203, L"AutoSize", true, L"VARIANT_BOOL", false},
    {204, L"AxBorderStyle", true, L"TxActiveFormBorderStyle", false},
    {205, L"BorderWidth", true, L"long", false},
    {-518, L"Caption", true, L"BSTR", false},
    {-501, L"Color", true, L"stdole.OLE_COLOR", false},
    {-512, L"Font", true, L"stdole.Font*", false}, // also putref, see below
    {206, L"KeyPreview", true, L"VARIANT_BOOL", false},
    {207, L"PixelsPerInch", true, L"long", false},
    {208, L"PrintScale", true, L"TxPrintScale", false},
    {209, L"Scaled", true, L"VARIANT_BOOL", false},
    {210, L"Active", false, L"VARIANT_BOOL", true},
    {211, L"DropTarget", true, L"VARIANT_BOOL", true},
    {212, L"HelpFile", true, L"BSTR", true},
    {213, L"PopupMode", true, L"TxPopupMode", true},
    {214, L"ScreenSnap", true, L"VARIANT_BOOL", true},
    {215, L"SnapBuffer", true, L"long", true},
    {216, L"DockSite", true, L"VARIANT_BOOL", true},
    {217, L"DoubleBuffered", true, L"VARIANT_BOOL", true},
    {218, L"AlignDisabled", false, L"VARIANT_BOOL", true},
    {219, L"MouseInClient", false, L"VARIANT_BOOL", true},
    {220, L"VisibleDockClientCount", false, L"long", true},
    {221, L"UseDockManager", true, L"VARIANT_BOOL", true},
    {-514, L"Enabled", true, L"VARIANT_BOOL", true},
    {222, L"ExplicitLeft", false, L"long", true},
    {223, L"ExplicitTop", false, L"long", true},
    {224, L"ExplicitWidth", false, L"long", true},
    {225, L"ExplicitHeight", false, L"long", true},
    {226, L"AlignWithMargins", true, L"VARIANT_BOOL", false},
};

const FunctionRow kMethods[] = {
    {227, L"Initialize", INVOKE_FUNC, false,
     {{L"szRegionVer", L"BSTR", kIn}, {L"szNewerVersion", L"BSTR", kIn}, {L"szChksum", L"BSTR", kIn},
      {L"dwTimeout", L"unsigned long", kIn}, {L"dwResult", L"unsigned long*", kRetval}}},
    {228, L"SaveData", INVOKE_FUNC, false,
     {{L"szKey", L"BSTR", kIn}, {L"szValue", L"BSTR", kIn}, {L"szResult", L"unsigned long*", kRetval}}},
    {229, L"LoadData", INVOKE_FUNC, false, {{L"szKey", L"BSTR", kIn}, {L"szValue", L"BSTR*", kRetval}}},
    {230, L"SendCommand", INVOKE_FUNC, false,
     {{L"dwCmd", L"unsigned long", kIn}, {L"dwSerialNum", L"unsigned long", kIn}, {L"szParams", L"BSTR", kIn},
      {L"dwResult", L"unsigned long*", kRetval}}},
    {231, L"ClearData", INVOKE_FUNC, false, {{L"szKey", L"BSTR", kIn}, {L"dwResult", L"unsigned long*", kRetval}}},
    {232, L"GetActivexObjID", INVOKE_FUNC, false, {{L"dwObjID", L"unsigned long*", kRetval}}},
    {233, L"CheckRegionInfo", INVOKE_FUNC, false, {{L"dwResult", L"unsigned long*", kRetval}}},
    {234, L"Uninitialize", INVOKE_FUNC, false, {}},
    {235, L"SetUpdatorVersion", INVOKE_FUNC, false, {{L"szVersion", L"BSTR", kIn}}},
    {236, L"Initialize2", INVOKE_FUNC, false,
     {{L"szRegionVersion", L"BSTR", kIn}, {L"szNewerVersion", L"BSTR", kIn}, {L"szChksum", L"BSTR", kIn},
      {L"dwTimeout", L"unsigned long", kIn}, {L"szClientSite", L"BSTR", kIn},
      {L"dwResult", L"unsigned long*", kRetval}}},
    {237, L"GetVersion", INVOKE_FUNC, false, {{L"szVersion", L"BSTR*", kRetval}}},
};

// The interface's own slots in vtable order: get before put; Font has get, put, putref
// where putref takes a pointer to the font reference.
std::vector<FunctionRow> ExpectedInterfaceFunctions()
{
    std::vector<FunctionRow> rows;
    for (const PropertyRow& p : kProperties) {
        rows.push_back({p.id, p.name, INVOKE_PROPERTYGET, p.hidden, {{L"Value", nullptr, kRetval}}});
        if (p.writable) rows.push_back({p.id, p.name, INVOKE_PROPERTYPUT, p.hidden, {{nullptr, nullptr, kIn}}});
        if (std::wstring(p.name) == L"Font")
            rows.push_back({p.id, p.name, INVOKE_PROPERTYPUTREF, p.hidden, {{nullptr, nullptr, kIn}}});
    }
    for (const FunctionRow& m : kMethods) rows.push_back(m);
    return rows;
}

// Types of the property members, which the rows above leave open: get takes T*, put T,
// putref T*.
std::wstring PropertyParamType(const FunctionRow& row)
{
    for (const PropertyRow& p : kProperties) {
        if (row.name != p.name) continue;
        const std::wstring type = p.type;
        return row.kind == INVOKE_PROPERTYPUT ? type : type + L"*";
    }
    return {};
}

struct EventRow {
    DISPID id;
    const wchar_t* name;
    VARTYPE result;
    std::vector<ParamRow> params;
};

const EventRow kEvents[] = {
    {201, L"OnActivate", VT_VOID, {}},
    {202, L"OnClick", VT_VOID, {}},
    {203, L"OnCreate", VT_VOID, {}},
    {204, L"OnDblClick", VT_VOID, {}},
    {205, L"OnDestroy", VT_VOID, {}},
    {206, L"OnDeactivate", VT_VOID, {}},
    {207, L"OnKeyPress", VT_VOID, {{L"Key", L"short*", kInOut}}},
    {208, L"OnMouseEnter", VT_VOID, {}},
    {209, L"OnMouseLeave", VT_VOID, {}},
    {210, L"OnPaint", VT_VOID, {}},
    {211, L"OnResult", VT_HRESULT,
     {{L"dwCmd", L"unsigned long", kIn}, {L"dwSerialNum", L"unsigned long", kIn}, {L"szParams", L"BSTR", kIn}}},
    {212, L"OnUpdateStart", VT_HRESULT, {{L"dwUpdateSize", L"unsigned long", kIn}}},
    {213, L"OnUpdateProgress", VT_HRESULT, {{L"dwCurrentSize", L"unsigned long", kIn}}},
    {214, L"OnUpdateEnd", VT_HRESULT, {{L"dwResult", L"unsigned long", kIn}}},
};

struct TypeRow {
    const wchar_t* name;
    TYPEKIND kind;
    const wchar_t* guid;
    const wchar_t* help; // nullptr: none
};

const TypeRow kTypes[] = {
    {L"IVLServiceAdapterX", TKIND_DISPATCH, L"{244BCE17-7DA7-4682-8D08-D7142B7B4207}",
     L"Dispatch interface for VLServiceAdapterX Control"},
    {L"IVLServiceAdapterXEvents", TKIND_DISPATCH, L"{CF6790D9-479E-4E07-9B19-92D60FA40E32}",
     L"Events interface for VLServiceAdapterX Control"},
    {L"VLServiceAdapterX", TKIND_COCLASS, L"{0E2C8D96-BAA7-4BF6-A246-39CDF0A30D30}", L"VLServiceAdapterX Control"},
    {L"TxActiveFormBorderStyle", TKIND_ENUM, L"{6B157669-F3B2-4FCF-9246-9AC8AFB5B09D}", nullptr},
    {L"TxPrintScale", TKIND_ENUM, L"{AB21D498-F4A6-4422-BE62-6F4AC4628315}", nullptr},
    {L"TxMouseButton", TKIND_ENUM, L"{EC8ADB76-3331-4A7E-A2D4-5494F7A19149}", nullptr},
    {L"TxPopupMode", TKIND_ENUM, L"{E457A18C-C004-4AB4-B636-598CAF696295}", nullptr},
    {L"VLSRESULT", TKIND_ENUM, L"{8DC8F0B4-7268-4F72-BB71-B8FBED7E9E88}", nullptr},
};

struct ConstantRow {
    const wchar_t* name;
    LONG value;
};

struct EnumRow {
    const wchar_t* name;
    bool constantHelp;
    std::vector<ConstantRow> constants;
};

const EnumRow kEnums[] = {
    {L"TxActiveFormBorderStyle", true, {{L"afbNone", 0}, {L"afbSingle", 1}, {L"afbSunken", 2}, {L"afbRaised", 3}}},
    {L"TxPrintScale", true, {{L"poNone", 0}, {L"poProportional", 1}, {L"poPrintToFit", 2}}},
    {L"TxMouseButton", true, {{L"mbLeft", 0}, {L"mbRight", 1}, {L"mbMiddle", 2}}},
    {L"TxPopupMode", true, {{L"pmNone", 0}, {L"pmAuto", 1}, {L"pmExplicit", 2}}},
    {L"VLSRESULT",
     false,
     {{L"VLS_OK", 0}, {L"VLS_FAIL", 1}, {L"VLS_HAVE_TO_UPDATE", 2}, {L"VLS_CONNECT_FAIL", 3},
      {L"VLS_CHKSUM_FAIL", 4}, {L"VLS_DOWNLOAD_FAIL", 5}, {L"VLS_RESTARTING", 6}, {L"VLS_NOT_INITIATED", 7},
      {L"VLS_REGION_FAIL", 8}, {L"VLS_PERMISSION_DENIED", 9}}},
};

const std::set<std::wstring> kDispatchMembers{L"QueryInterface", L"AddRef",          L"Release",    L"GetTypeInfoCount",
                                              L"GetTypeInfo",    L"GetIDsOfNames", L"Invoke"};

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring Name(ITypeInfo* info, MEMBERID id = MEMBERID_NIL)
{
    UniqueBstr name;
    info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr);
    return name.str();
}

// nullptr when the element has no help string.
std::wstring Help(ITypeInfo* info, MEMBERID id = MEMBERID_NIL)
{
    UniqueBstr help;
    info->GetDocumentation(id, nullptr, help.put(), nullptr, nullptr);
    return help ? help.str() : L"<none>";
}

// A readable type: base types by their IDL names, our own types by name, stdole's types
// as "stdole.<name>", a pointer as a trailing "*".
std::wstring TypeText(ITypeInfo* owner, const TYPEDESC& type)
{
    switch (type.vt) {
    case VT_PTR: return TypeText(owner, *type.lptdesc) + L"*";
    case VT_BOOL: return L"VARIANT_BOOL";
    case VT_I4: return L"long";
    case VT_UI4: return L"unsigned long";
    case VT_I2: return L"short";
    case VT_BSTR: return L"BSTR";
    case VT_HRESULT: return L"HRESULT";
    case VT_VOID: return L"void";
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> ref;
        if (FAILED(owner->GetRefTypeInfo(type.hreftype, ref.put()))) return L"<unresolved>";
        ComPtr<ITypeLib> lib;
        UINT index = 0;
        ref->GetContainingTypeLib(lib.put(), &index);
        TLIBATTR* attr = nullptr;
        lib->GetLibAttr(&attr);
        const bool stdole = attr->guid == IID_StdOle;
        lib->ReleaseTLibAttr(attr);
        return (stdole ? L"stdole." : L"") + Name(ref.get());
    }
    default: return L"vt" + std::to_wstring(type.vt);
    }
}

class FuncDesc {
public:
    FuncDesc(ITypeInfo* info, UINT index) : m_info(info) { EXPECT_HRESULT_SUCCEEDED(info->GetFuncDesc(index, &m_desc)); }
    ~FuncDesc()
    {
        if (m_desc) m_info->ReleaseFuncDesc(m_desc);
    }
    const FUNCDESC* operator->() const { return m_desc; }
    explicit operator bool() const { return m_desc != nullptr; }

private:
    ITypeInfo* m_info;
    FUNCDESC* m_desc = nullptr;
};

class TypeAttr {
public:
    explicit TypeAttr(ITypeInfo* info) : m_info(info) { EXPECT_HRESULT_SUCCEEDED(info->GetTypeAttr(&m_attr)); }
    ~TypeAttr()
    {
        if (m_attr) m_info->ReleaseTypeAttr(m_attr);
    }
    const TYPEATTR* operator->() const { return m_attr; }

private:
    ITypeInfo* m_info;
    TYPEATTR* m_attr = nullptr;
};

// The DISPID the description binds `name` to, or DISPID_UNKNOWN.
DISPID IdOf(ITypeInfo* info, std::wstring name)
{
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_HRESULT_SUCCEEDED(info->GetIDsOfNames(names, 1, &id)) << std::string(name.begin(), name.end());
    return id;
}

std::vector<std::wstring> Names(ITypeInfo* info, MEMBERID id)
{
    BSTR names[16] = {};
    UINT count = 0;
    EXPECT_HRESULT_SUCCEEDED(info->GetNames(id, names, 16, &count));
    std::vector<std::wstring> result;
    for (UINT i = 0; i < count; ++i) {
        result.emplace_back(names[i], ::SysStringLen(names[i]));
        ::SysFreeString(names[i]);
    }
    return result;
}

// Compares a member with its row: DISPID, name, kind, hidden flag, parameter types and
// directions, and the names as GetNames reports them for its DISPID.
void ExpectFunction(ITypeInfo* info, const FuncDesc& func, const FunctionRow& row, const std::vector<std::wstring>& types)
{
    SCOPED_TRACE(row.name);
    EXPECT_EQ(func->memid, row.id);
    EXPECT_EQ(Name(info, func->memid), row.name);
    EXPECT_EQ(func->invkind, row.kind);
    EXPECT_EQ((func->wFuncFlags & FUNCFLAG_FHIDDEN) != 0, row.hidden);
    EXPECT_EQ(func->wFuncFlags & ~FUNCFLAG_FHIDDEN, 0);
    EXPECT_EQ(func->callconv, CC_STDCALL);
    EXPECT_EQ(func->cParamsOpt, 0);
    ASSERT_EQ(func->cParams, static_cast<SHORT>(row.params.size()));
    for (std::size_t i = 0; i < row.params.size(); ++i) {
        SCOPED_TRACE(i);
        const ELEMDESC& param = func->lprgelemdescParam[i];
        EXPECT_EQ(TypeText(info, param.tdesc), types[i]);
        EXPECT_EQ(param.paramdesc.wParamFlags, row.params[i].flags);
    }
}

class TypeLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_HRESULT_SUCCEEDED(::LoadTypeLibEx(vl::test::BuildFile(L"VLServiceAdapter.ocx").c_str(), REGKIND_NONE,
                                                 s_library.put()));
    }
    static void TearDownTestSuite() { s_library.reset(); }

    static ComPtr<ITypeInfo> Type(UINT index)
    {
        ComPtr<ITypeInfo> info;
        EXPECT_HRESULT_SUCCEEDED(s_library->GetTypeInfo(index, info.put()));
        return info;
    }
    // The interface view (vtable) of the dual interface.
    static ComPtr<ITypeInfo> InterfaceView()
    {
        const auto dispatchView = Type(0);
        HREFTYPE ref = 0;
        EXPECT_HRESULT_SUCCEEDED(dispatchView->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref));
        ComPtr<ITypeInfo> view;
        EXPECT_HRESULT_SUCCEEDED(dispatchView->GetRefTypeInfo(ref, view.put()));
        return view;
    }

    static inline ComPtr<ITypeLib> s_library;
};

TEST_F(TypeLibraryTest, LibraryHeader)
{
    TLIBATTR* attr = nullptr;
    ASSERT_HRESULT_SUCCEEDED(s_library->GetLibAttr(&attr));
    EXPECT_EQ(GuidText(attr->guid), L"{1A518277-6459-40CD-A237-B25F9D4F70C4}");
    EXPECT_EQ(attr->guid, LIBID_VLServiceAdapter);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0u);
    #ifdef _WIN64
    EXPECT_EQ(attr->syskind, SYS_WIN64);
#else
    EXPECT_EQ(attr->syskind, SYS_WIN32);
#endif
    // The loader adds that the library came from a file.
    EXPECT_EQ(attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, LIBFLAG_FCONTROL);
    s_library->ReleaseTLibAttr(attr);

    UniqueBstr name, help, helpFile;
    DWORD context = 1;
    ASSERT_HRESULT_SUCCEEDED(s_library->GetDocumentation(-1, name.put(), help.put(), &context, helpFile.put()));
    EXPECT_EQ(name.str(), L"VLServiceAdapter");
    EXPECT_EQ(help.str(), L"VLServiceAdapter Library");
    EXPECT_EQ(context, 0u);
    EXPECT_FALSE(helpFile);
}

TEST_F(TypeLibraryTest, TypesInLibraryOrder)
{
    ASSERT_EQ(s_library->GetTypeInfoCount(), std::size(kTypes));
    for (UINT i = 0; i < std::size(kTypes); ++i) {
        const TypeRow& row = kTypes[i];
        SCOPED_TRACE(row.name);
        const auto info = Type(i);
        const TypeAttr attr(info.get());
        EXPECT_EQ(Name(info.get()), row.name);
        EXPECT_EQ(attr->typekind, row.kind);
        EXPECT_EQ(GuidText(attr->guid), row.guid);
        EXPECT_EQ(attr->wMajorVerNum, 1);
        EXPECT_EQ(attr->wMinorVerNum, 0);
        EXPECT_EQ(Help(info.get()), row.help ? row.help : L"<none>");
    }
    // The identifiers the C++ side uses.
    EXPECT_EQ(GuidText(IID_IVLServiceAdapterX), kTypes[0].guid);
    EXPECT_EQ(GuidText(DIID_IVLServiceAdapterXEvents), kTypes[1].guid);
    EXPECT_EQ(GuidText(CLSID_VLServiceAdapterX), kTypes[2].guid);
}

TEST_F(TypeLibraryTest, TypeFlags)
{
    // The dispatch view of the dual interface reports it dual; the interface view carries
    // the automation flag as declared.
    EXPECT_TRUE(TypeAttr(Type(0).get())->wTypeFlags & TYPEFLAG_FDUAL);
    const auto view = InterfaceView();
    const TypeAttr viewAttr(view.get());
    EXPECT_EQ(viewAttr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(viewAttr->guid, IID_IVLServiceAdapterX);
    EXPECT_EQ(viewAttr->wTypeFlags & ~TYPEFLAG_FDISPATCHABLE, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);

    EXPECT_EQ(TypeAttr(Type(1).get())->wTypeFlags & ~TYPEFLAG_FDISPATCHABLE, 0);
    EXPECT_EQ(TypeAttr(Type(2).get())->wTypeFlags, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL);
    for (UINT i = 3; i < 8; ++i) EXPECT_EQ(TypeAttr(Type(i).get())->wTypeFlags, 0) << i;
}

TEST_F(TypeLibraryTest, InterfaceDerivesFromIDispatch)
{
    const auto view = InterfaceView();
    HREFTYPE ref = 0;
    ASSERT_HRESULT_SUCCEEDED(view->GetRefTypeOfImplType(0, &ref));
    ComPtr<ITypeInfo> base;
    ASSERT_HRESULT_SUCCEEDED(view->GetRefTypeInfo(ref, base.put()));
    EXPECT_EQ(TypeAttr(base.get())->guid, IID_IDispatch);
    // 7 slots of IDispatch and ours: 71 in all.
    EXPECT_EQ(TypeAttr(view.get())->cbSizeVft, 71 * sizeof(void*));
}

TEST_F(TypeLibraryTest, InterfaceMembersInVtableOrder)
{
    const auto view = InterfaceView();
    const auto rows = ExpectedInterfaceFunctions();
    ASSERT_EQ(rows.size(), 64u);
    ASSERT_EQ(TypeAttr(view.get())->cFuncs, rows.size());
    for (UINT i = 0; i < rows.size(); ++i) {
        const FunctionRow& row = rows[i];
        const FuncDesc func(view.get(), i);
        ASSERT_TRUE(func);
        std::vector<std::wstring> types;
        for (const ParamRow& p : row.params) types.push_back(p.type ? p.type : PropertyParamType(row));
        ExpectFunction(view.get(), func, row, types);
        EXPECT_EQ(func->funckind, FUNC_PUREVIRTUAL) << i;
        EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + i) * sizeof(void*))) << i;
        EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT) << i;
    }
}

TEST_F(TypeLibraryTest, ParameterNames)
{
    // A property's names are those of its get member: the result is named "Value".
    const auto view = InterfaceView();
    for (const PropertyRow& p : kProperties) {
        EXPECT_EQ(Names(view.get(), p.id), (std::vector<std::wstring>{p.name, L"Value"})) << p.name;
    }
    for (const FunctionRow& m : kMethods) {
        std::vector<std::wstring> expected{m.name};
        for (const ParamRow& p : m.params) expected.push_back(p.name);
        EXPECT_EQ(Names(view.get(), m.id), expected) << m.name;
    }
}

TEST_F(TypeLibraryTest, DispatchViewNamesEveryMember)
{
    // Script binds through the dispatch view: every member, hidden or not, is reachable
    // by name with its DISPID.
    const auto dispatch = Type(0);
    for (const FunctionRow& row : ExpectedInterfaceFunctions()) EXPECT_EQ(IdOf(dispatch.get(), row.name), row.id);
}

TEST_F(TypeLibraryTest, EventInterface)
{
    const auto events = Type(1);
    HREFTYPE ref = 0;
    ASSERT_HRESULT_SUCCEEDED(events->GetRefTypeOfImplType(0, &ref));
    ComPtr<ITypeInfo> base;
    ASSERT_HRESULT_SUCCEEDED(events->GetRefTypeInfo(ref, base.put()));
    EXPECT_EQ(TypeAttr(base.get())->guid, IID_IDispatch);

    // Members of the base that the platform may list ahead of ours are not events.
    std::vector<UINT> ours;
    const WORD count = TypeAttr(events.get())->cFuncs;
    for (UINT i = 0; i < count; ++i) {
        const FuncDesc func(events.get(), i);
        if (!kDispatchMembers.contains(Name(events.get(), func->memid))) ours.push_back(i);
    }
    ASSERT_EQ(ours.size(), std::size(kEvents));
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const EventRow& row = kEvents[i];
        const FuncDesc func(events.get(), ours[i]);
        std::vector<std::wstring> types;
        for (const ParamRow& p : row.params) types.push_back(p.type);
        ExpectFunction(events.get(), func, {row.id, row.name, INVOKE_FUNC, false, row.params}, types);
        EXPECT_EQ(func->funckind, FUNC_DISPATCH) << row.name;
        EXPECT_EQ(func->elemdescFunc.tdesc.vt, row.result) << row.name;
        std::vector<std::wstring> names{row.name};
        for (const ParamRow& p : row.params) names.push_back(p.name);
        EXPECT_EQ(Names(events.get(), row.id), names);
    }
}

TEST_F(TypeLibraryTest, ControlClass)
{
    const auto coclass = Type(2);
    ASSERT_EQ(TypeAttr(coclass.get())->cImplTypes, 2);
    const std::pair<const wchar_t*, INT> expected[] = {
        {L"IVLServiceAdapterX", IMPLTYPEFLAG_FDEFAULT},
        {L"IVLServiceAdapterXEvents", IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
    };
    for (UINT i = 0; i < 2; ++i) {
        HREFTYPE ref = 0;
        ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref));
        ComPtr<ITypeInfo> implemented;
        ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeInfo(ref, implemented.put()));
        EXPECT_EQ(Name(implemented.get()), expected[i].first);
        INT flags = 0;
        ASSERT_HRESULT_SUCCEEDED(coclass->GetImplTypeFlags(i, &flags));
        EXPECT_EQ(flags, expected[i].second) << i;
    }
}

TEST_F(TypeLibraryTest, Enumerations)
{
    for (UINT t = 0; t < std::size(kEnums); ++t) {
        const EnumRow& row = kEnums[t];
        SCOPED_TRACE(row.name);
        const auto info = Type(3 + t);
        ASSERT_EQ(Name(info.get()), row.name);
        ASSERT_EQ(TypeAttr(info.get())->cVars, row.constants.size());
        for (UINT i = 0; i < row.constants.size(); ++i) {
            VARDESC* var = nullptr;
            ASSERT_HRESULT_SUCCEEDED(info->GetVarDesc(i, &var));
            EXPECT_EQ(var->varkind, VAR_CONST);
            EXPECT_EQ(var->elemdescVar.tdesc.vt, VT_I4);
            EXPECT_EQ(var->lpvarValue->vt, VT_I4);
            EXPECT_EQ(var->lpvarValue->lVal, row.constants[i].value);
            EXPECT_EQ(Name(info.get(), var->memid), row.constants[i].name);
            EXPECT_EQ(Help(info.get(), var->memid), row.constantHelp ? row.constants[i].name : L"<none>");
            info->ReleaseVarDesc(var);
        }
    }
}

// The contract the C++ interface is compiled from must say what the library says: every
// DISPID constant and enumeration value of the header is checked against the library.
TEST_F(TypeLibraryTest, ContractAgreesWithLibrary)
{
    const auto dispatch = Type(0);
    auto expectDispid = [&](const wchar_t* name, DISPID id) { EXPECT_EQ(IdOf(dispatch.get(), name), id); };
#define VL_WIDE_(text) L##text
#define VL_WIDE(text) VL_WIDE_(text)
#define VL_PROPERTY(id, Name, T, access, hidden) expectDispid(VL_WIDE(#Name), vl::dispid::Name);
#define VL_FONT_PROPERTY(id, Name) expectDispid(VL_WIDE(#Name), vl::dispid::Name);
#define VL_METHOD(id, Name, params) expectDispid(VL_WIDE(#Name), vl::dispid::Name);
    VL_MEMBERS
#undef VL_PROPERTY
#undef VL_FONT_PROPERTY
#undef VL_METHOD

    const auto events = Type(1);
    std::vector<std::pair<std::wstring, DISPID>> headerEvents;
#define VL_EVENT(id, Name, result, params) headerEvents.emplace_back(VL_WIDE(#Name), vl::event_dispid::Name);
    VL_EVENTS
#undef VL_EVENT
    ASSERT_EQ(headerEvents.size(), std::size(kEvents));
    for (const auto& [name, id] : headerEvents) EXPECT_EQ(IdOf(events.get(), name), id);

    std::vector<std::pair<std::wstring, LONG>> constants;
#define VL_CONST(name, value) constants.emplace_back(VL_WIDE(#name), name)
#define VL_ENUM(Name, guid, constantHelp, list) VL_UNPAREN list;
    VL_ENUMS
#undef VL_CONST
#undef VL_ENUM
    std::size_t total = 0;
    for (const EnumRow& row : kEnums) total += row.constants.size();
    EXPECT_EQ(constants.size(), total);
    for (const auto& [name, value] : constants) {
        ITypeInfo* found[1] = {};
        MEMBERID member[1] = {};
        USHORT count = 1;
        std::wstring text = name;
        ASSERT_HRESULT_SUCCEEDED(s_library->FindName(text.data(), 0, found, member, &count)) << name;
        ASSERT_EQ(count, 1) << name;
        const auto owner = ComPtr<ITypeInfo>::Adopt(found[0]);
        VARDESC* var = nullptr;
        UINT index = 0;
        ComPtr<ITypeInfo2> info2;
        ASSERT_HRESULT_SUCCEEDED(owner.As(info2));
        ASSERT_HRESULT_SUCCEEDED(info2->GetVarIndexOfMemId(member[0], &index)) << name;
        ASSERT_HRESULT_SUCCEEDED(owner->GetVarDesc(index, &var));
        EXPECT_EQ(var->lpvarValue->lVal, value) << name;
        owner->ReleaseVarDesc(var);
    }
#undef VL_WIDE
#undef VL_WIDE_
}

} // namespace
