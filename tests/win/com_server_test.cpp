// ctest: RESOURCE_LOCK product_state
// ctest: RESOURCE_LOCK com_registration
// The COM server: the class factory and class-object table, the module's exports, and the
// control instance's interface list, safety options, error information, class information
// and dispatch. Instances of the COM side alone come from a test control; the module's own
// instances from the built module, as a browser gets them.
#include <gtest/gtest.h>
#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <mshtmdid.h>
#include <olectl.h>

#include <stdexcept>
#include <string>

#include "com_server/class_factory.h"
#include "com_server/exception_boundary.h"
#include "com_server/server_module.h"
#include "support/com_module.h"
#include "support/product_state.h"
#include "support/temp_folder.h"
#include "support/test_control.h"
#include "support/win_handles.h"

namespace {

using vl::ComPtr;
using vl::test::TestControl;

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new vl::test::BuiltModuleEnvironment);

ComPtr<IClassFactory> TestFactory()
{
    ComPtr<IClassFactory> factory;
    EXPECT_HRESULT_SUCCEEDED(vl::ClassFactory::Create(&TestControl::Create, IID_IClassFactory, factory.put_void()));
    return factory;
}

ComPtr<IUnknown> NewTestControl()
{
    ComPtr<IUnknown> control;
    EXPECT_HRESULT_SUCCEEDED(TestFactory()->CreateInstance(nullptr, IID_IUnknown, control.put_void()));
    return control;
}

template <typename I>
ComPtr<I> As(IUnknown* object)
{
    ComPtr<I> result;
    EXPECT_HRESULT_SUCCEEDED(object->QueryInterface(__uuidof(I), result.put_void()));
    return result;
}

// An outer object for aggregation: counts its own references and answers only IUnknown
// and what it asks the inner object for.
class Outer final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        ++queries;
        if (::IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }

    ULONG references = 1;
    int queries = 0;
    ComPtr<IUnknown> inner;
};

// --- Class factory ----------------------------------------------------------------------

TEST(ClassFactory, AnswersIUnknownAndIClassFactoryOnly)
{
    ComPtr<IClassFactory> factory = TestFactory();
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(factory->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
    ComPtr<IClassFactory2> licensed;
    EXPECT_EQ(factory->QueryInterface(IID_IClassFactory2, licensed.put_void()), E_NOINTERFACE);
    EXPECT_FALSE(licensed);
}

TEST(ClassFactory, CreateInstanceChecksItsArguments)
{
    ComPtr<IClassFactory> factory = TestFactory();
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);

    Outer outer;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(TestControl::s_liveInstances, 0);

    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(TestControl::s_liveInstances, 0);
}

TEST(ClassFactory, AggregatedInstanceDelegatesToTheOuterObject)
{
    Outer outer;
    {
        ComPtr<IClassFactory> factory = TestFactory();
        ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, outer.inner.put_void()), S_OK);
        EXPECT_EQ(outer.references, 1u) << "the inner object must not count the outer one";

        ComPtr<IVLServiceAdapterX> control;
        ASSERT_EQ(outer.inner->QueryInterface(__uuidof(IVLServiceAdapterX), control.put_void()), S_OK);
        EXPECT_EQ(outer.references, 2u) << "references to the inner interfaces count on the outer object";

        ComPtr<IUnknown> identity;
        const int queriesBefore = outer.queries;
        ASSERT_EQ(control->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
        EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
        EXPECT_EQ(outer.queries, queriesBefore + 1);

        ULONG id = 0;
        EXPECT_EQ(control->GetActivexObjID(&id), S_OK);
        EXPECT_EQ(id, 42u);
    }
    EXPECT_EQ(outer.references, 1u);
    EXPECT_EQ(TestControl::s_liveInstances, 1);
    outer.inner.reset();
    EXPECT_EQ(TestControl::s_liveInstances, 0);
}

TEST(ClassFactory, ServerLocksAndInstancesHoldTheModule)
{
    const LONG before = vl::Module().LockCount();
    ComPtr<IClassFactory> factory = TestFactory();
    EXPECT_EQ(vl::Module().LockCount(), before) << "a factory alone holds no lock";

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(vl::Module().LockCount(), before + 1);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(vl::Module().LockCount(), before);

    ComPtr<IUnknown> control = NewTestControl();
    EXPECT_EQ(vl::Module().LockCount(), before + 1);
    control.reset();
    EXPECT_EQ(vl::Module().LockCount(), before);
}

TEST(ClassFactory, FailedInitializationDestroysTheInstance)
{
    const LONG before = vl::Module().LockCount();
    TestControl::s_initializeResult = E_ACCESSDENIED;
    ComPtr<IUnknown> control;
    EXPECT_EQ(TestFactory()->CreateInstance(nullptr, IID_IUnknown, control.put_void()), E_ACCESSDENIED);
    TestControl::s_initializeResult = S_OK;
    EXPECT_FALSE(control);
    EXPECT_EQ(TestControl::s_liveInstances, 0);
    EXPECT_EQ(vl::Module().LockCount(), before);
}

TEST(ClassFactory, FormThatCannotBeBuiltIsReportedAsErrorInformation)
{
    const LONG before = vl::Module().LockCount();
    vl::Module().Init(::GetModuleHandleW(nullptr)); // the test program has no form definition
    ComPtr<IUnknown> control;
    const HRESULT hr = TestFactory()->CreateInstance(nullptr, IID_IUnknown, control.put_void());
    vl::test::UseBuiltModuleResources(vl::test::ModulePath());
    EXPECT_EQ(hr, DISP_E_EXCEPTION);
    EXPECT_EQ(TestControl::s_liveInstances, 0);
    EXPECT_EQ(vl::Module().LockCount(), before);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(::GetErrorInfo(0, info.put()), S_OK);
    vl::UniqueBstr description;
    info->GetDescription(description.put());
    EXPECT_FALSE(description.str().empty());
}

// --- Class-object table -----------------------------------------------------------------

int g_factoriesMade = 0;
HRESULT g_factoryResult = S_OK;

HRESULT CountingFactoryCreator(vl::InstanceCreator creator, REFIID iid, void** out)
{
    ++g_factoriesMade;
    if (FAILED(g_factoryResult)) return g_factoryResult;
    return vl::ClassFactory::Create(creator, iid, out);
}

class ClassObjectTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_factoriesMade = 0;
        g_factoryResult = S_OK;
    }
    void TearDown() override { vl::ReleaseClassObjects(table); }

    vl::ClassObjectEntry table[1] = {
        {&CLSID_VLServiceAdapterX, nullptr, &CountingFactoryCreator, &TestControl::Create, nullptr, nullptr, nullptr}};
};

TEST_F(ClassObjectTable, HandsOutOneFactoryPerClass)
{
    ComPtr<IClassFactory> first, second;
    ASSERT_EQ(vl::GetClassObject(table, CLSID_VLServiceAdapterX, IID_IClassFactory, first.put_void()), S_OK);
    ASSERT_EQ(vl::GetClassObject(table, CLSID_VLServiceAdapterX, IID_IClassFactory, second.put_void()), S_OK);
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(g_factoriesMade, 1);

    ComPtr<IUnknown> control;
    EXPECT_EQ(first->CreateInstance(nullptr, __uuidof(IVLServiceAdapterX), control.put_void()), S_OK);
}

TEST_F(ClassObjectTable, RefusesOtherClassesAndInterfaces)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(vl::GetClassObject(table, CLSID_StdFont, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(g_factoriesMade, 0);

    EXPECT_EQ(vl::GetClassObject(table, CLSID_VLServiceAdapterX, IID_IClassFactory, nullptr), E_POINTER);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(vl::GetClassObject(table, CLSID_VLServiceAdapterX, IID_IClassFactory2, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ClassObjectTable, FactoryCreatorFailureIsReturnedAndRetried)
{
    g_factoryResult = E_OUTOFMEMORY;
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(vl::GetClassObject(table, CLSID_VLServiceAdapterX, IID_IClassFactory, factory.put_void()),
              E_OUTOFMEMORY);
    g_factoryResult = S_OK;
    EXPECT_EQ(vl::GetClassObject(table, CLSID_VLServiceAdapterX, IID_IClassFactory, factory.put_void()), S_OK);
    EXPECT_EQ(g_factoriesMade, 2);
}

// --- The control's interfaces -----------------------------------------------------------

TEST(ControlInterfaces, AnswersItsListWithOneIdentity)
{
    ComPtr<IUnknown> control = NewTestControl();
    const IID listed[] = {IID_IViewObjectEx,
                          IID_IViewObject2,
                          IID_IViewObject,
                          IID_IOleInPlaceObject,
                          IID_IOleWindow,
                          IID_IOleInPlaceActiveObject,
                          IID_IOleControl,
                          IID_IOleObject,
                          IID_IQuickActivate,
                          IID_IPersistStorage,
                          IID_IPersistStreamInit,
                          IID_ISpecifyPropertyPages,
                          IID_IDataObject,
                          IID_ISimpleFrameSite,
                          IID_IProvideClassInfo,
                          IID_IProvideClassInfo2,
                          IID_IConnectionPointContainer,
                          IID_ISupportErrorInfo,
                          __uuidof(IVLServiceAdapterX),
                          IID_IDispatch,
                          IID_IObjectSafety,
                          IID_IObjectWithSite};
    for (const IID& iid : listed) {
        ComPtr<IUnknown> answered, identity;
        ASSERT_EQ(control->QueryInterface(iid, answered.put_void()), S_OK) << vl::test::RegistryGuid(iid);
        ASSERT_EQ(answered->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
        EXPECT_EQ(identity.get(), control.get()) << vl::test::RegistryGuid(iid);
    }
    EXPECT_EQ(control.get(), static_cast<IUnknown*>(As<IViewObjectEx>(control.get()).get()));
    EXPECT_EQ(static_cast<IUnknown*>(As<IDispatch>(control.get()).get()),
              static_cast<IUnknown*>(As<IVLServiceAdapterX>(control.get()).get()));
}

TEST(ControlInterfaces, RefusesEverythingElse)
{
    ComPtr<IUnknown> control = NewTestControl();
    const IID refused[] = {IID_IPersistPropertyBag, IID_IOleInPlaceObjectWindowless,
                           IID_IPointerInactive,    IID_IPersist,        IID_IPersistStream,
                           IID_IClassFactory,       IID_IRunnableObject, IID_IProvideMultipleClassInfo,
                           IID_IOleCache,           IID_IExternalConnection, IID_IMarshal};
    for (const IID& iid : refused) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(control->QueryInterface(iid, &out), E_NOINTERFACE) << vl::test::RegistryGuid(iid);
        EXPECT_EQ(out, nullptr);
    }
}

TEST(ControlInterfaces, SafeForScriptingOnlyAsOptionsAreSet)
{
    ComPtr<IObjectSafety> safety = As<IObjectSafety>(NewTestControl().get());
    const IID& iid = __uuidof(IVLServiceAdapterX);
    DWORD supported = 7, enabled = 7;
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(iid, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, DWORD{INTERFACESAFE_FOR_UNTRUSTED_CALLER});
    EXPECT_EQ(enabled, 0u);

    EXPECT_EQ(safety->SetInterfaceSafetyOptions(iid, 1, 1), S_OK);
    safety->GetInterfaceSafetyOptions(iid, &supported, &enabled);
    EXPECT_EQ(enabled, 1u);

    EXPECT_EQ(safety->SetInterfaceSafetyOptions(iid, 3, 3), E_FAIL) << "safe for initialization is never offered";
    safety->GetInterfaceSafetyOptions(iid, &supported, &enabled);
    EXPECT_EQ(enabled, 1u);

    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 0), S_OK);
    safety->GetInterfaceSafetyOptions(iid, &supported, &enabled);
    EXPECT_EQ(enabled, 0u) << "one set of options serves every interface";

    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistPropertyBag, &supported, &enabled), E_NOINTERFACE);
    EXPECT_EQ(supported, 0u);
    EXPECT_EQ(enabled, 0u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag, 1, 1), E_NOINTERFACE);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(iid, nullptr, &enabled), E_POINTER);
}

TEST(ControlInterfaces, ErrorInformationForItsOwnInterfaces)
{
    ComPtr<ISupportErrorInfo> errorInfo = As<ISupportErrorInfo>(NewTestControl().get());
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(__uuidof(IVLServiceAdapterX)), S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IOleObject), S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IObjectSafety), S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IPersistPropertyBag), S_FALSE);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
}

TEST(ControlInterfaces, ClassInformation)
{
    ComPtr<IProvideClassInfo2> classInfo = As<IProvideClassInfo2>(NewTestControl().get());
    GUID guid{};
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid), S_OK);
    EXPECT_TRUE(::IsEqualGUID(guid, DIID_IVLServiceAdapterXEvents));
    EXPECT_EQ(classInfo->GetGUID(2, &guid), E_FAIL);
    EXPECT_TRUE(::IsEqualGUID(guid, GUID_NULL));

    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(coclass.put()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    EXPECT_TRUE(::IsEqualGUID(attributes->guid, CLSID_VLServiceAdapterX));
    coclass->ReleaseTypeAttr(attributes);
}

TEST(ControlInterfaces, DispatchThroughTheRegisteredLibrary)
{
    ComPtr<IDispatch> dispatch = As<IDispatch>(NewTestControl().get());
    DISPPARAMS none{};
    vl::UniqueVariant result;
    EXPECT_EQ(dispatch->Invoke(DISPID_SECURITYCTX, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.get(), nullptr,
                               nullptr),
              DISP_E_MEMBERNOTFOUND);

    wchar_t name[] = L"GetVersion";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, vl::dispid::GetVersion);
    ASSERT_EQ(dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, result.put(), nullptr, nullptr), S_OK);
    ASSERT_EQ(result.get()->vt, VT_BSTR);
    EXPECT_EQ(vl::BstrText(result.get()->bstrVal), L"test");
}

TEST(ControlInterfaces, OleObjectAnswersFromTheRegistry)
{
    ComPtr<IOleObject> object = As<IOleObject>(NewTestControl().get());
    DWORD status = 0;
    ASSERT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 131473u);

    ComPtr<IEnumOLEVERB> verbs;
    ASSERT_EQ(object->EnumVerbs(verbs.put()), S_OK);
    OLEVERB verb{};
    ULONG fetched = 0;
    ASSERT_EQ(verbs->Next(1, &verb, &fetched), S_OK);
    EXPECT_EQ(verb.lVerb, 0);
    EXPECT_STREQ(verb.lpszVerbName, L"Properties");
    EXPECT_EQ(verb.grfAttribs, DWORD{OLEVERBATTRIB_ONCONTAINERMENU});
    ::CoTaskMemFree(verb.lpszVerbName);
    EXPECT_EQ(verbs->Next(1, &verb, &fetched), S_FALSE);

    vl::UniqueCoTaskText userType;
    ASSERT_EQ(object->GetUserType(USERCLASSTYPE_FULL, userType.put()), S_OK);
    EXPECT_STREQ(userType.get(), L"VLServiceAdapterX Control");

    CLSID clsid{};
    EXPECT_EQ(object->GetUserClassID(&clsid), S_OK);
    EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_VLServiceAdapterX));
}

TEST(ControlInterfaces, ExtentStartsAtTheFormsSize)
{
    ComPtr<IUnknown> control = NewTestControl();
    ComPtr<IOleObject> object = As<IOleObject>(control.get());
    HDC screen = ::GetDC(nullptr);
    const SIZEL expected{::MulDiv(150, 2540, ::GetDeviceCaps(screen, LOGPIXELSX)),
                         ::MulDiv(86, 2540, ::GetDeviceCaps(screen, LOGPIXELSY))};
    ::ReleaseDC(nullptr, screen);
    SIZEL size{};
    ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, expected.cx);
    EXPECT_EQ(size.cy, expected.cy);

    SIZEL changed{5000, 2500};
    EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, &changed), S_OK);
    SIZEL viewSize{};
    EXPECT_EQ(As<IViewObject2>(control.get())->GetExtent(DVASPECT_CONTENT, -1, nullptr, &viewSize), S_OK);
    EXPECT_EQ(viewSize.cx, 5000);
    EXPECT_EQ(viewSize.cy, 2500);
    EXPECT_EQ(object->SetExtent(DVASPECT_ICON, &changed), DV_E_DVASPECT);
    EXPECT_EQ(object->GetExtent(DVASPECT_ICON, &size), DV_E_DVASPECT);
}

TEST(ControlInterfaces, VerbsWithoutAContainer)
{
    ComPtr<IUnknown> control = NewTestControl();
    ComPtr<IOleObject> object = As<IOleObject>(control.get());
    EXPECT_EQ(object->DoVerb(OLEIVERB_OPEN, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(object->DoVerb(OLEIVERB_DISCARDUNDOSTATE, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(object->DoVerb(7, nullptr, nullptr, 0, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr), E_UNEXPECTED);

    CAUUID pages{7, reinterpret_cast<GUID*>(1)};
    EXPECT_EQ(As<ISpecifyPropertyPages>(control.get())->GetPages(&pages), S_OK);
    EXPECT_EQ(pages.cElems, 0u);
    EXPECT_EQ(pages.pElems, nullptr);
}

// A page's event sink that takes no events.
class EventSink final : public vl::ComObjectImpl<EventSink, IDispatch> {
public:
    using Interfaces = vl::InterfaceList<vl::Interface<IDispatch>>;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (out && ::IsEqualIID(iid, DIID_IVLServiceAdapterXEvents)) iid_answered = true;
        return ComObjectImpl::QueryInterface(::IsEqualIID(iid, DIID_IVLServiceAdapterXEvents) ? IID_IDispatch : iid,
                                             out);
    }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return S_OK; }

    bool iid_answered = false;
};

TEST(ControlInterfaces, QuickActivateConnectsTheContainersEventSink)
{
    ComPtr<IUnknown> control = NewTestControl();
    ComPtr<EventSink> sink(new EventSink);
    QACONTAINER container{};
    container.cbSize = sizeof container;
    container.pUnkEventSink = static_cast<IDispatch*>(sink.get());
    QACONTROL answer{};
    answer.cbSize = sizeof answer;
    ASSERT_EQ(As<IQuickActivate>(control.get())->QuickActivate(&container, &answer), S_OK);
    EXPECT_TRUE(sink->iid_answered);
    EXPECT_NE(answer.dwEventCookie, 0u);
    EXPECT_EQ(answer.dwPropNotifyCookie, 0u);
    EXPECT_EQ(answer.dwMiscStatus, 131473u);
    EXPECT_EQ(answer.dwViewStatus, DWORD{VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND});

    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(As<IConnectionPointContainer>(control.get())->FindConnectionPoint(DIID_IVLServiceAdapterXEvents,
                                                                                 point.put()),
              S_OK);
    EXPECT_EQ(point->Unadvise(answer.dwEventCookie), S_OK);

    QACONTROL tooSmall{};
    tooSmall.cbSize = sizeof tooSmall - 4;
    EXPECT_EQ(As<IQuickActivate>(control.get())->QuickActivate(&container, &tooSmall), E_INVALIDARG);
}

// --- The shared error path --------------------------------------------------------------

TEST(ErrorPath, ExceptionBecomesTheThreadsErrorInformation)
{
    const HRESULT hr = vl::CatchReturnErrorInfo(__uuidof(IVLServiceAdapterX), []() -> HRESULT {
        throw std::runtime_error("Form refused the value");
    });
    EXPECT_EQ(hr, DISP_E_EXCEPTION);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(::GetErrorInfo(0, info.put()), S_OK);
    vl::UniqueBstr description, source;
    GUID guid{};
    info->GetDescription(description.put());
    info->GetSource(source.put());
    info->GetGUID(&guid);
    EXPECT_EQ(description.str(), L"Form refused the value");
    EXPECT_EQ(source.str(), L"VLServiceAdapter.VLServiceAdapterX");
    EXPECT_TRUE(::IsEqualGUID(guid, __uuidof(IVLServiceAdapterX)));

    EXPECT_EQ(vl::CatchReturnErrorInfo(GUID_NULL, []() -> HRESULT { throw 7; }), DISP_E_EXCEPTION);
    ASSERT_EQ(::GetErrorInfo(0, info.put()), S_OK);
    info->GetDescription(description.put());
    EXPECT_EQ(description.str(), L"");
}

TEST(ErrorPath, EachBoundaryAnswersAThrowAsItsNameSays)
{
    const auto outOfMemory = []() -> HRESULT { throw std::bad_alloc(); };
    const auto anything = []() -> HRESULT { throw 7; };
    EXPECT_EQ(vl::CatchReturnHresult(outOfMemory), E_OUTOFMEMORY);
    EXPECT_EQ(vl::CatchReturnHresult(anything), E_UNEXPECTED);

    ULONG result = VLS_OK;
    EXPECT_EQ(vl::CatchReturnPageFailure(&result, outOfMemory), S_FALSE);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    vl::UniqueBstr text;
    EXPECT_EQ(vl::CatchReturnPageFailure(text.put(), anything), S_FALSE);
    EXPECT_EQ(text.str(), L"Failure");
    bool ran = false;
    EXPECT_EQ(vl::CatchReturnPageFailure(static_cast<ULONG*>(nullptr), [&] {
                  ran = true;
                  return S_OK;
              }),
              E_POINTER);
    EXPECT_FALSE(ran);
}

// --- The built module's exports ---------------------------------------------------------

class ModuleExports : public ::testing::Test {
protected:
    void SetUp() override
    {
        vl::test::ResetProductState();
        m_module.reset(::LoadLibraryW(vl::test::ModulePath().c_str()));
        ASSERT_TRUE(m_module);
        getClassObject = reinterpret_cast<decltype(getClassObject)>(::GetProcAddress(m_module.get(), "DllGetClassObject"));
        canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(::GetProcAddress(m_module.get(), "DllCanUnloadNow"));
        ASSERT_TRUE(getClassObject && canUnloadNow);
    }
    void TearDown() override { vl::test::ResetProductState(); }

    HRESULT(WINAPI* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(WINAPI* canUnloadNow)() = nullptr;

private:
    vl::UniqueModule m_module;
};

TEST_F(ModuleExports, UnloadsOnlyWithoutInstancesAndServerLocks)
{
    EXPECT_EQ(canUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_VLServiceAdapterX, IID_IClassFactory, factory.put_void()), S_OK);
    EXPECT_EQ(canUnloadNow(), S_OK) << "references to the factory alone do not keep the module";

    factory->LockServer(TRUE);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(canUnloadNow(), S_OK);

    ComPtr<IVLServiceAdapterX> control;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IVLServiceAdapterX), control.put_void()), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    control.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(ModuleExports, OneFactoryForTheControlClassOnly)
{
    ComPtr<IClassFactory> first, second;
    ASSERT_EQ(getClassObject(CLSID_VLServiceAdapterX, IID_IClassFactory, first.put_void()), S_OK);
    ASSERT_EQ(getClassObject(CLSID_VLServiceAdapterX, IID_IUnknown, second.put_void()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(first.get()), static_cast<IUnknown*>(second.get()));

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(CLSID_StdFont, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(getClassObject(CLSID_VLServiceAdapterX, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(ModuleExports, AggregationOnlyThroughIUnknown)
{
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_VLServiceAdapterX, IID_IClassFactory, factory.put_void()), S_OK);
    Outer outer;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, outer.inner.put_void()), S_OK);
    ComPtr<IVLServiceAdapterX> control;
    EXPECT_EQ(outer.inner->QueryInterface(__uuidof(IVLServiceAdapterX), control.put_void()), S_OK);
    control.reset();
    outer.inner.reset();
    EXPECT_EQ(outer.references, 1u);
}

TEST_F(ModuleExports, CreatedThroughTheRegistryAsABrowserDoes)
{
    ComPtr<IVLServiceAdapterX> control;
    ASSERT_EQ(::CoCreateInstance(CLSID_VLServiceAdapterX, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IVLServiceAdapterX),
                                 control.put_void()),
              S_OK);
    vl::UniqueBstr version;
    ASSERT_EQ(control->GetVersion(version.put()), S_OK);
    EXPECT_EQ(version.str(), L"1.1.31.362");
}

// --- Page script through Wine's script host ----------------------------------------------

// Runs a script file with cscript; what it echoed.
std::string RunScript(const std::wstring& name, const std::string& text)
{
    vl::test::TempFolder folder;
    const std::wstring path = folder.File(name);
    EXPECT_TRUE(vl::test::WriteFileBytes(path, text));
    std::string output;
    const auto exitCode = vl::test::RunProgram(L"cscript.exe //Nologo \"" + path + L"\"", &output);
    EXPECT_EQ(exitCode, DWORD{0}) << output;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    return output;
}

class ScriptHost : public ::testing::Test {
protected:
    void SetUp() override { vl::test::ResetProductState(); }
    void TearDown() override { vl::test::ResetProductState(); }
};

// Before Initialize: the version, no link identifier, the updater's idle status, and a
// request that fails without a kernel.
const char kExpectedBeforeInitialize[] = "1.1.31.362|0|Status=Waiting|1";

TEST_F(ScriptHost, JScriptCallsTheControlBeforeInitialize)
{
    EXPECT_EQ(RunScript(L"page.js", "var o = new ActiveXObject(\"VLServiceAdapter.VLServiceAdapterX\");\r\n"
                                    "WScript.Echo([o.GetVersion(), o.GetActivexObjID(), o.LoadData(\"UpdateStatus\"),\r\n"
                                    "              o.SaveData(\"k\", \"v\")].join(\"|\"));\r\n"),
              kExpectedBeforeInitialize);
}

// Wine's VBScript CreateObject refuses every object that takes a site (IObjectWithSite)
// from a script host that offers no services, as cscript; the host's own CreateObject
// makes it as Windows' VBScript does.
TEST_F(ScriptHost, VBScriptCallsTheControlBeforeInitialize)
{
    EXPECT_EQ(RunScript(L"page.vbs", "Set o = WScript.CreateObject(\"VLServiceAdapter.VLServiceAdapterX\")\r\n"
                                     "WScript.Echo o.GetVersion() & \"|\" & o.GetActivexObjID() & \"|\" & _\r\n"
                                     "    o.LoadData(\"UpdateStatus\") & \"|\" & o.SaveData(\"k\", \"v\")\r\n"),
              kExpectedBeforeInitialize);
}

} // namespace
