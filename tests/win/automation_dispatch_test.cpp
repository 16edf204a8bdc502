// The control's IDispatch, served from the registered type library, on a test object that
// implements IVLServiceAdapterX by recording which member ran; and the module object's
// termination list that releases the cached descriptions.
#include <gtest/gtest.h>
#include <windows.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/server_module.h"
#include "com_server/type_info_cache.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"
#include "support/win_handles.h"

namespace {

using vl::ComPtr;
using vl::UniqueBstr;
using vl::UniqueVariant;

// Every member of the interface records its C++ name and returns S_OK.
class RecordingAdapter : public IVLServiceAdapterX {
public:
    virtual ~RecordingAdapter() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IVLServiceAdapterX) return E_NOINTERFACE;
        *out = static_cast<IVLServiceAdapterX*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        return vl::adapter_dispatch::GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override
    {
        return vl::adapter_dispatch::GetTypeInfo(index, lcid, out);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override
    {
        return vl::adapter_dispatch::GetIDsOfNames(iid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override
    {
        return vl::adapter_dispatch::Invoke(this, member, iid, lcid, flags, params, result, exception, argError);
    }

#define VL_IN(T, name) [[maybe_unused]] T name
#define VL_RETVAL(T, name) [[maybe_unused]] T* name
#define VL_PUT_RW(Name, T) \
    HRESULT STDMETHODCALLTYPE put_##Name(T) override { return Record(L"put_" #Name); }
#define VL_PUT_RO(Name, T)
#define VL_PROPERTY(dispid, Name, T, access, hidden)               \
    HRESULT STDMETHODCALLTYPE get_##Name(T* Value) override \
    {                                                        \
        *Value = T{};                                        \
        return Record(L"get_" #Name);                        \
    }                                                        \
    VL_PUT_##access(Name, T)
#define VL_FONT_PROPERTY(dispid, Name)                                                                   \
    HRESULT STDMETHODCALLTYPE get_##Name(IFontDisp** Value) override                               \
    {                                                                                                \
        *Value = nullptr;                                                                            \
        return Record(L"get_" #Name);                                                                \
    }                                                                                                \
    HRESULT STDMETHODCALLTYPE put_##Name(IFontDisp*) override { return Record(L"put_" #Name); }       \
    HRESULT STDMETHODCALLTYPE putref_##Name(IFontDisp**) override { return Record(L"putref_" #Name); }
#define VL_METHOD(dispid, Name, params) \
    HRESULT STDMETHODCALLTYPE Name params override { return Record(L"" #Name); }
    VL_MEMBERS
#undef VL_IN
#undef VL_RETVAL
#undef VL_PUT_RW
#undef VL_PUT_RO
#undef VL_PROPERTY
#undef VL_FONT_PROPERTY
#undef VL_METHOD

    std::vector<std::wstring> calls;

protected:
    HRESULT Record(const wchar_t* name)
    {
        calls.push_back(name);
        return S_OK;
    }
};

class TestAdapter final : public RecordingAdapter {
public:
    HRESULT STDMETHODCALLTYPE Initialize(BSTR szRegionVer, BSTR, BSTR, ULONG dwTimeout, ULONG* dwResult) override
    {
        region = vl::BstrText(szRegionVer);
        timeout = dwTimeout;
        *dwResult = 7;
        return Record(L"Initialize");
    }
    std::wstring region;
    ULONG timeout = 0;
};

ComPtr<ITypeLib> LoadModuleLibrary()
{
    ComPtr<ITypeLib> library;
    EXPECT_HRESULT_SUCCEEDED(
        ::LoadTypeLibEx(vl::test::BuildFile(L"VLServiceAdapter.ocx").c_str(), REGKIND_NONE, library.put()));
    return library;
}

class AutomationDispatchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const auto library = LoadModuleLibrary();
        ASSERT_TRUE(library);
        std::wstring path = vl::test::BuildFile(L"VLServiceAdapter.ocx");
        ASSERT_HRESULT_SUCCEEDED(::RegisterTypeLib(library.get(), path.data(), nullptr));
    }

    HRESULT CallInitialize(std::vector<VARIANT>& reversedArgs, VARIANT* result, UINT* argError = nullptr)
    {
        DISPPARAMS params{reversedArgs.data(), nullptr, static_cast<UINT>(reversedArgs.size()), 0};
        UINT unused = 0;
        return adapter.Invoke(vl::dispid::Initialize, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr,
                              argError ? argError : &unused);
    }

    TestAdapter adapter;
};

TEST_F(AutomationDispatchTest, TypeInfoCountAndAnyIndex)
{
    UINT count = 0;
    EXPECT_EQ(adapter.GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(adapter.GetTypeInfoCount(nullptr), E_POINTER);
    EXPECT_EQ(adapter.GetTypeInfo(0, 0, nullptr), E_POINTER);

    ComPtr<ITypeInfo> first, fifth;
    ASSERT_EQ(adapter.GetTypeInfo(0, 0, first.put()), S_OK);
    ASSERT_EQ(adapter.GetTypeInfo(5, 0, fifth.put()), S_OK);
    EXPECT_EQ(first.get(), fifth.get());
    TYPEATTR* attr = nullptr;
    ASSERT_HRESULT_SUCCEEDED(fifth->GetTypeAttr(&attr));
    EXPECT_EQ(attr->guid, IID_IVLServiceAdapterX);
    fifth->ReleaseTypeAttr(attr);
}

TEST_F(AutomationDispatchTest, ClassInfoIsTheCoclass)
{
    EXPECT_EQ(vl::GetControlClassInfo(nullptr), E_POINTER);
    ComPtr<ITypeInfo> first, second;
    ASSERT_EQ(vl::GetControlClassInfo(first.put()), S_OK);
    ASSERT_EQ(vl::GetControlClassInfo(second.put()), S_OK);
    EXPECT_EQ(first.get(), second.get());
    TYPEATTR* attr = nullptr;
    ASSERT_HRESULT_SUCCEEDED(first->GetTypeAttr(&attr));
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->guid, CLSID_VLServiceAdapterX);
    first->ReleaseTypeAttr(attr);
}

TEST_F(AutomationDispatchTest, NamesFromCacheAndFromTheDescription)
{
    // The cache compares exactly; other spellings are left to the description, which
    // ignores case.
    for (const wchar_t* spelling : {L"Initialize", L"initialize", L"INITIALIZE", L"Initialize"}) {
        std::wstring name = spelling;
        LPOLESTR names[] = {name.data()};
        DISPID id = 0;
        EXPECT_EQ(adapter.GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << spelling;
        EXPECT_EQ(id, 227) << spelling;
    }
    // Hidden members and stock DISPIDs are named like any other.
    std::wstring color = L"Color", hidden = L"ExplicitHeight";
    LPOLESTR names[] = {color.data(), hidden.data()};
    DISPID ids[2] = {};
    EXPECT_EQ(adapter.GetIDsOfNames(IID_NULL, names, 1, 0, ids), S_OK);
    EXPECT_EQ(adapter.GetIDsOfNames(IID_NULL, names + 1, 1, 0, ids + 1), S_OK);
    EXPECT_EQ(ids[0], DISPID_BACKCOLOR);
    EXPECT_EQ(ids[1], 225);
}

TEST_F(AutomationDispatchTest, UnknownNames)
{
    std::wstring unknown = L"NoSuchMember", method = L"Initialize", noParam = L"szKey";
    LPOLESTR names[] = {unknown.data()};
    DISPID id = 0;
    EXPECT_EQ(adapter.GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);

    // szKey is a parameter of SaveData, not of Initialize.
    LPOLESTR withParam[] = {method.data(), noParam.data()};
    DISPID ids[2] = {};
    EXPECT_EQ(adapter.GetIDsOfNames(IID_NULL, withParam, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 227);
}

TEST_F(AutomationDispatchTest, NamedParametersResolveWithTheirMember)
{
    std::wstring method = L"Initialize", param = L"dwTimeout", region = L"szRegionVer";
    LPOLESTR names[] = {method.data(), param.data(), region.data()};
    DISPID ids[3] = {};
    ASSERT_EQ(adapter.GetIDsOfNames(IID_NULL, names, 3, 0, ids), S_OK);
    EXPECT_EQ(ids[0], 227);
    EXPECT_EQ(ids[1], 3);
    EXPECT_EQ(ids[2], 0);
}

TEST_F(AutomationDispatchTest, InvokeReachesTheMethodWithItsArguments)
{
    std::vector<VARIANT> args(4);
    // Arguments are passed last first; the platform converts the strings and numbers.
    args[3].vt = VT_BSTR;
    args[3].bstrVal = ::SysAllocString(L"TW;Production");
    args[2].vt = VT_BSTR;
    args[2].bstrVal = ::SysAllocString(L"1.0.0.1");
    args[1].vt = VT_BSTR;
    args[1].bstrVal = ::SysAllocString(L"");
    args[0].vt = VT_BSTR;
    args[0].bstrVal = ::SysAllocString(L"3000");
    UniqueVariant result;
    ASSERT_EQ(CallInitialize(args, result.put()), S_OK);
    for (VARIANT& v : args) ::VariantClear(&v);
    EXPECT_EQ(adapter.calls, std::vector<std::wstring>{L"Initialize"});
    EXPECT_EQ(adapter.region, L"TW;Production");
    EXPECT_EQ(adapter.timeout, 3000u);
    EXPECT_EQ(result.get()->vt, VT_UI4);
    EXPECT_EQ(result.get()->ulVal, 7u);
}

TEST_F(AutomationDispatchTest, PlatformRejectsBadCallsBeforeTheMethod)
{
    std::vector<VARIANT> one(1);
    one[0].vt = VT_I4;
    one[0].lVal = 1;
    UniqueVariant result;
    EXPECT_EQ(CallInitialize(one, result.put()), DISP_E_BADPARAMCOUNT);

    std::vector<VARIANT> four(4);
    for (VARIANT& v : four) {
        v.vt = VT_BSTR;
        v.bstrVal = ::SysAllocString(L"x");
    }
    EXPECT_EQ(CallInitialize(four, result.put()), DISP_E_TYPEMISMATCH); // "x" is no timeout
    for (VARIANT& v : four) ::VariantClear(&v);

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(adapter.Invoke(4711, IID_NULL, 0, DISPATCH_METHOD, &none, result.put(), nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_TRUE(adapter.calls.empty());
}

// Every member of the description, invoked by DISPID and kind, lands in the C++ member of
// the same name: the library's vtable layout is the header's.
TEST_F(AutomationDispatchTest, EveryMemberReachesItsVtableSlot)
{
    ComPtr<ITypeInfo> dispatchView;
    ASSERT_EQ(adapter.GetTypeInfo(0, 0, dispatchView.put()), S_OK);
    HREFTYPE ref = 0;
    ASSERT_HRESULT_SUCCEEDED(dispatchView->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref));
    ComPtr<ITypeInfo> view;
    ASSERT_HRESULT_SUCCEEDED(dispatchView->GetRefTypeInfo(ref, view.put()));

    FONTDESC fontDesc{sizeof(FONTDESC), const_cast<LPOLESTR>(L"Arial"), {80000, 0}, FW_NORMAL, ANSI_CHARSET, 0, 0, 0};
    ComPtr<IDispatch> font;
    ASSERT_HRESULT_SUCCEEDED(::OleCreateFontIndirect(&fontDesc, IID_IFontDisp, font.put_void()));

    TYPEATTR* attr = nullptr;
    ASSERT_HRESULT_SUCCEEDED(view->GetTypeAttr(&attr));
    const WORD funcCount = attr->cFuncs;
    view->ReleaseTypeAttr(attr);
    ASSERT_EQ(funcCount, 64);

    for (UINT i = 0; i < funcCount; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_HRESULT_SUCCEEDED(view->GetFuncDesc(i, &func));
        UniqueBstr name;
        view->GetDocumentation(func->memid, name.put(), nullptr, nullptr, nullptr);
        std::vector<VARIANT> args;
        for (SHORT p = func->cParams - 1; p >= 0; --p) {
            const ELEMDESC& param = func->lprgelemdescParam[p];
            if (param.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) continue;
            VARIANT v;
            ::VariantInit(&v);
            if (param.tdesc.vt == VT_BSTR) {
                v.vt = VT_BSTR;
                v.bstrVal = ::SysAllocString(L"1");
            } else if (param.tdesc.vt == VT_PTR) {
                v.vt = VT_DISPATCH;
                v.pdispVal = font.get();
                font->AddRef();
            } else {
                v.vt = VT_I4;
                v.lVal = 1;
            }
            args.push_back(v);
        }
        std::wstring expected = name.str();
        WORD flags = DISPATCH_METHOD;
        switch (func->invkind) {
        case INVOKE_PROPERTYGET: expected = L"get_" + expected, flags = DISPATCH_PROPERTYGET; break;
        case INVOKE_PROPERTYPUT: expected = L"put_" + expected, flags = DISPATCH_PROPERTYPUT; break;
        case INVOKE_PROPERTYPUTREF: expected = L"putref_" + expected, flags = DISPATCH_PROPERTYPUTREF; break;
        default: break;
        }
        DISPID putId = DISPID_PROPERTYPUT;
        const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        DISPPARAMS params{args.data(), put ? &putId : nullptr, static_cast<UINT>(args.size()), put ? 1u : 0u};
        UniqueVariant result;
        UINT argError = 0;
        adapter.calls.clear();
        EXPECT_EQ(adapter.Invoke(func->memid, IID_NULL, 0, flags, &params, put ? nullptr : result.put(), nullptr,
                                 &argError),
                  S_OK)
            << i << " " << std::string(expected.begin(), expected.end());
        EXPECT_EQ(adapter.calls, std::vector<std::wstring>{expected}) << i;
        for (VARIANT& v : args) ::VariantClear(&v);
        view->ReleaseFuncDesc(func);
    }
}

// A one-type library of the test's own, unregistered at first: the cache must report the
// loading error, keep nothing, and load once the library is registered.
class ProbeLibrary {
public:
    ProbeLibrary()
    {
        ::CoCreateGuid(&libid);
        ::CoCreateGuid(&typeGuid);
        path = m_folder.Path() + L"\\probe.tlb";
        ComPtr<ICreateTypeLib2> library;
        EXPECT_HRESULT_SUCCEEDED(::CreateTypeLib2(SYS_WIN32, path.c_str(), library.put()));
        library->SetGuid(libid);
        library->SetVersion(1, 0);
        library->SetName(const_cast<LPOLESTR>(L"VLProbe"));
        ComPtr<ICreateTypeInfo> type;
        EXPECT_HRESULT_SUCCEEDED(library->CreateTypeInfo(const_cast<LPOLESTR>(L"Probe"), TKIND_ENUM, type.put()));
        type->SetGuid(typeGuid);
        EXPECT_HRESULT_SUCCEEDED(type->LayOut());
        EXPECT_HRESULT_SUCCEEDED(library->SaveAllChanges());
    }
    ~ProbeLibrary() { Unregister(); }

    HRESULT Register()
    {
        ComPtr<ITypeLib> library;
        HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
        if (SUCCEEDED(hr)) hr = ::RegisterTypeLib(library.get(), path.data(), nullptr);
        return hr;
    }
    void Unregister() { ::UnRegisterTypeLib(libid, 1, 0, 0, SYS_WIN32); }

    GUID libid{};
    GUID typeGuid{};
    std::wstring path;

private:
    vl::test::TempFolder m_folder;
};

TEST(TypeInfoCacheTest, FailedLoadIsRetriedAndUnloadReleases)
{
    ProbeLibrary probe;
    vl::ServerModule module;
    vl::TypeInfoCache cache(probe.libid, 1, 0, probe.typeGuid, module);

    ComPtr<ITypeInfo> info;
    EXPECT_EQ(cache.GetTypeInfo(0, info.put()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_FALSE(info);

    ASSERT_HRESULT_SUCCEEDED(probe.Register());
    ASSERT_EQ(cache.GetTypeInfo(0, info.put()), S_OK);
    ASSERT_TRUE(info);

    // Loaded once: it outlives the registration until the module is unloaded.
    probe.Unregister();
    EXPECT_EQ(cache.GetTypeInfo(0, info.put()), S_OK);
    module.Term();
    EXPECT_EQ(cache.GetTypeInfo(0, info.put()), TYPE_E_LIBNOTREGISTERED);
    module.Term();
}

TEST(ServerModuleTest, TerminationRunsNewestFirstOnce)
{
    vl::ServerModule module;
    static std::vector<int> ran;
    ran.clear();
    const auto step = [](DWORD_PTR data) { ran.push_back(static_cast<int>(data)); };
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(module.AddTermFunc(step, i), S_OK);
    module.Term();
    EXPECT_EQ(ran, (std::vector<int>{3, 2, 1}));
    module.Term();
    EXPECT_EQ(ran.size(), 3u);

    EXPECT_EQ(module.Lock(), 1);
    EXPECT_EQ(module.Lock(), 2);
    EXPECT_EQ(module.Unlock(), 1);
    EXPECT_EQ(module.LockCount(), 1);
}

} // namespace
