// ctest: RESOURCE_LOCK product_state
// ctest: RESOURCE_LOCK com_registration
// The control inside containers: a container site of the test's own that records every
// call the control makes (activation, deactivation, rectangles, verbs, drawing), and Wine's
// ATL host activating the registered control in place in a real window.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "com_server/com_object.h"
#include "fixtures/com_module.h"
#include "fixtures/product_state.h"
#include "fixtures/test_control.h"
#include "support/win_handles.h"

namespace {

using vl::ComPtr;
using Calls = std::vector<std::string>;

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new vl::test::BuiltModuleEnvironment);

// A top-level window standing for the container's document window, shared by the tests
// (Wine takes seconds to destroy a top-level window).
HWND ContainerWindow()
{
    static vl::UniqueWindow window([] {
        HWND made = ::CreateWindowExW(0, L"STATIC", L"container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 400,
                                      300, nullptr, nullptr, nullptr, nullptr);
        ::ShowWindow(made, SW_SHOWNOACTIVATE);
        return made;
    }());
    return window.get();
}

// The container's site for one control: records the control's calls in order and answers
// as a browser page would.
class TestSite final : public vl::ComObjectImpl<TestSite, IOleClientSite, IOleInPlaceSite, IOleControlSite, IDispatch> {
public:
    using Interfaces = vl::InterfaceList<vl::Interface<IOleClientSite>, vl::Interface<IOleInPlaceSite>,
                                         vl::Interface<IOleWindow, IOleInPlaceSite>, vl::Interface<IOleControlSite>,
                                         vl::Interface<IDispatch>>;

    TestSite(HWND window, RECT position) : window(window), position(position), clip(position) {}

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return Record("SaveObject"); }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** container) override
    {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return Record("ShowObject"); }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* out) override
    {
        calls.push_back("GetWindow");
        *out = window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override
    {
        calls.push_back("CanInPlaceActivate");
        return canActivate;
    }
    STDMETHODIMP OnInPlaceActivate() override { return Record("OnInPlaceActivate"); }
    STDMETHODIMP OnUIActivate() override { return Record("OnUIActivate"); }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT pos, LPRECT clipRect,
                                  LPOLEINPLACEFRAMEINFO info) override
    {
        calls.push_back("GetWindowContext");
        *frame = nullptr;
        *document = nullptr;
        *pos = position;
        *clipRect = clip;
        frameInfoSize = info->cb;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return Record("OnUIDeactivate"); }
    STDMETHODIMP OnInPlaceDeactivate() override { return Record("OnInPlaceDeactivate"); }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return E_NOTIMPL; }

    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() override { return Record("ShowPropertyFrame"); }

    // IDispatch: the ambient properties.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override
    {
        if (member != DISPID_AMBIENT_USERMODE || !result) return DISP_E_MEMBERNOTFOUND;
        result->vt = VT_BOOL;
        result->boolVal = userMode ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    HWND window;
    RECT position;
    RECT clip;
    bool userMode = true;
    HRESULT canActivate = S_OK;
    DWORD frameInfoSize = 0;
    Calls calls;

private:
    HRESULT Record(const char* call)
    {
        calls.push_back(call);
        return S_OK;
    }
};

class Hosting : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(vl::test::TestControl::Create(nullptr, IID_IOleObject, control.put_void()), S_OK);
        site = ComPtr<TestSite>(new TestSite(container, {10, 20, 160, 106}));
        ASSERT_EQ(control->SetClientSite(site.get()), S_OK);
        ASSERT_EQ(control->QueryInterface(IID_IOleInPlaceObject, inPlace.put_void()), S_OK);
        ASSERT_EQ(inPlace->GetWindow(&form), S_OK);
    }
    void TearDown() override
    {
        if (control) control->Close(OLECLOSE_NOSAVE);
        if (control) control->SetClientSite(nullptr);
    }

    RECT FormRectInContainer() const
    {
        RECT rect{};
        ::GetWindowRect(form, &rect);
        ::MapWindowPoints(nullptr, container, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    HWND container = ContainerWindow();
    ComPtr<IOleObject> control;
    ComPtr<IOleInPlaceObject> inPlace;
    ComPtr<TestSite> site;
    HWND form = nullptr;
};

TEST_F(Hosting, InPlaceActivationPutsTheFormIntoTheContainersWindow)
{
    EXPECT_NE(::GetParent(form), container);
    EXPECT_FALSE(::IsWindowVisible(form));

    ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.get(), 0, container, &site->position), S_OK);
    EXPECT_EQ(site->calls,
              (Calls{"CanInPlaceActivate", "OnInPlaceActivate", "GetWindow", "GetWindowContext", "ShowObject"}));
    EXPECT_EQ(site->frameInfoSize, sizeof(OLEINPLACEFRAMEINFO));
    EXPECT_EQ(::GetParent(form), container);
    EXPECT_TRUE(::IsWindowVisible(form));
    const RECT placed = FormRectInContainer();
    EXPECT_TRUE(::EqualRect(&placed, &site->position));

    // Activating again asks nothing more.
    site->calls.clear();
    EXPECT_EQ(control->DoVerb(OLEIVERB_SHOW, nullptr, site.get(), 0, container, &site->position), S_OK);
    EXPECT_TRUE(site->calls.empty());

    const RECT moved{30, 40, 230, 140};
    EXPECT_EQ(inPlace->SetObjectRects(&moved, &moved), S_OK);
    const RECT now = FormRectInContainer();
    EXPECT_TRUE(::EqualRect(&now, &moved));
    SIZEL extent{};
    control->GetExtent(DVASPECT_CONTENT, &extent);
    HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(extent.cx, ::MulDiv(200, 2540, ::GetDeviceCaps(screen, LOGPIXELSX)));
    ::ReleaseDC(nullptr, screen);

    EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    EXPECT_EQ(site->calls, (Calls{"OnInPlaceDeactivate"}));
    EXPECT_NE(::GetParent(form), container);
    EXPECT_FALSE(::IsWindowVisible(form));
    EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    EXPECT_EQ(site->calls.size(), 1u);
}

TEST_F(Hosting, SiteThatRefusesActivationKeepsTheFormParked)
{
    site->canActivate = S_FALSE;
    EXPECT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.get(), 0, container, &site->position),
              E_FAIL);
    EXPECT_EQ(site->calls, (Calls{"CanInPlaceActivate"}));
    EXPECT_NE(::GetParent(form), container);
}

TEST_F(Hosting, UIActivationAndDeactivation)
{
    ASSERT_EQ(control->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site.get(), 0, container, &site->position), S_OK);
    EXPECT_EQ(site->calls.back(), "OnUIActivate");
    site->calls.clear();
    EXPECT_EQ(inPlace->UIDeactivate(), S_OK);
    EXPECT_EQ(site->calls, (Calls{"OnUIDeactivate"}));
    site->calls.clear();
    EXPECT_EQ(control->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site.get(), 0, container, &site->position), S_OK);
    EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    EXPECT_EQ(site->calls, (Calls{"OnUIActivate", "OnUIDeactivate", "OnInPlaceDeactivate"}));
}

TEST_F(Hosting, PrimaryVerbActivatesAtRunTimeAndShowsPropertiesAtDesignTime)
{
    ASSERT_EQ(control->DoVerb(OLEIVERB_PRIMARY, nullptr, site.get(), 0, container, &site->position), S_OK);
    EXPECT_EQ(site->calls.back(), "OnUIActivate");
    inPlace->InPlaceDeactivate();

    site->calls.clear();
    site->userMode = false;
    EXPECT_EQ(control->DoVerb(OLEIVERB_PRIMARY, nullptr, site.get(), 0, container, &site->position), S_OK);
    EXPECT_EQ(site->calls, (Calls{"ShowPropertyFrame"}));
    site->calls.clear();
    EXPECT_EQ(control->DoVerb(OLEIVERB_PROPERTIES, nullptr, site.get(), 0, container, &site->position), S_OK);
    EXPECT_EQ(site->calls, (Calls{"ShowPropertyFrame"}));
}

TEST_F(Hosting, HideVerbHidesTheForm)
{
    ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.get(), 0, container, &site->position), S_OK);
    ASSERT_TRUE(::IsWindowVisible(form));
    EXPECT_EQ(control->DoVerb(OLEIVERB_HIDE, nullptr, site.get(), 0, container, &site->position), S_OK);
    EXPECT_FALSE(::IsWindowVisible(form));
}

TEST_F(Hosting, ClipRectangleLimitsWhatShows)
{
    site->clip = {10, 20, 60, 50};
    ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.get(), 0, container, &site->position), S_OK);
    RECT box{};
    vl::UniqueGdiObject region(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_EQ(::GetWindowRgn(form, static_cast<HRGN>(region.get())), SIMPLEREGION);
    ::GetRgnBox(static_cast<HRGN>(region.get()), &box);
    const RECT expected{0, 0, 50, 30};
    EXPECT_TRUE(::EqualRect(&box, &expected));

    // Wholly visible again: no region.
    EXPECT_EQ(inPlace->SetObjectRects(&site->position, &site->position), S_OK);
    EXPECT_EQ(::GetWindowRgn(form, static_cast<HRGN>(region.get())), ERROR);
}

// An advise sink that counts OnClose and OnViewChange.
class AdviseSink final : public vl::ComObjectImpl<AdviseSink, IAdviseSink> {
public:
    using Interfaces = vl::InterfaceList<vl::Interface<IAdviseSink>>;
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override { ++viewChanges; }
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override { ++closes; }
    int viewChanges = 0;
    int closes = 0;
};

TEST_F(Hosting, CloseDeactivatesAndTellsTheAdviseSinks)
{
    ComPtr<AdviseSink> sink(new AdviseSink);
    DWORD connection = 0;
    ASSERT_EQ(control->Advise(sink.get(), &connection), S_OK);
    ComPtr<IViewObject> view;
    ASSERT_EQ(control->QueryInterface(IID_IViewObject, view.put_void()), S_OK);
    ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, sink.get()), S_OK);
    SIZEL extent{3000, 2000};
    control->SetExtent(DVASPECT_CONTENT, &extent);
    EXPECT_EQ(sink->viewChanges, 1);

    ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.get(), 0, container, &site->position), S_OK);
    EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(sink->closes, 1);
    EXPECT_EQ(site->calls.back(), "OnInPlaceDeactivate");
    EXPECT_EQ(control->Unadvise(connection), S_OK);
    EXPECT_EQ(control->Unadvise(connection), OLE_E_NOCONNECTION);
    view->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
}

TEST_F(Hosting, DrawPaintsTheFormIntoTheGivenRectangle)
{
    ComPtr<IViewObject> view;
    ASSERT_EQ(control->QueryInterface(IID_IViewObject, view.put_void()), S_OK);
    HDC screen = ::GetDC(nullptr);
    vl::UniqueMemoryDc dc(::CreateCompatibleDC(screen));
    vl::UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen, 200, 100));
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ previous = ::SelectObject(dc.get(), bitmap.get());
    RECT all{0, 0, 200, 100};
    ::FillRect(dc.get(), &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));

    const RECTL bounds{20, 10, 170, 96};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.get(), &bounds, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(::GetPixel(dc.get(), 90, 50), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(::GetPixel(dc.get(), 5, 5), RGB(0, 0, 0)) << "nothing is drawn outside the bounds";
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.get(), nullptr, nullptr, nullptr, 0),
              E_INVALIDARG);
    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc.get(), &bounds, nullptr, nullptr, 0),
              DV_E_DVASPECT);
    ::SelectObject(dc.get(), previous);
}

TEST_F(Hosting, ReleasingTheLastReferenceDestroysTheForm)
{
    ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.get(), 0, container, &site->position), S_OK);
    ASSERT_TRUE(::IsWindow(form));
    control->Close(OLECLOSE_NOSAVE);
    control->SetClientSite(nullptr);
    inPlace.reset();
    control.reset();
    EXPECT_EQ(vl::test::TestControl::s_liveInstances, 0);
    EXPECT_FALSE(::IsWindow(form));
}

// --- Wine's ATL host --------------------------------------------------------------------

class AtlHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        vl::test::ResetProductState();
        m_atl.reset(::LoadLibraryW(L"atl.dll"));
        ASSERT_TRUE(m_atl);
        axWinInit = reinterpret_cast<decltype(axWinInit)>(::GetProcAddress(m_atl.get(), "AtlAxWinInit"));
        axGetControl = reinterpret_cast<decltype(axGetControl)>(::GetProcAddress(m_atl.get(), "AtlAxGetControl"));
        ASSERT_TRUE(axWinInit && axGetControl);
        ASSERT_TRUE(axWinInit());
    }
    void TearDown() override { vl::test::ResetProductState(); }

    BOOL(WINAPI* axWinInit)() = nullptr;
    HRESULT(WINAPI* axGetControl)(HWND, IUnknown**) = nullptr;

private:
    vl::UniqueModule m_atl;
};

TEST_F(AtlHost, HostsTheControlInPlaceInARealWindow)
{
    vl::UniqueWindow host(::CreateWindowExW(0, L"AtlAxWin", L"VLServiceAdapter.VLServiceAdapterX",
                                            WS_CHILD | WS_VISIBLE, 5, 5, 300, 200, ContainerWindow(), nullptr, nullptr, nullptr));
    ASSERT_TRUE(host);
    vl::test::PumpMessages(100);

    ComPtr<IUnknown> control;
    ASSERT_EQ(axGetControl(host.get(), control.put()), S_OK);
    ComPtr<IVLServiceAdapterX> adapter;
    ASSERT_EQ(control->QueryInterface(__uuidof(IVLServiceAdapterX), adapter.put_void()), S_OK);
    vl::UniqueBstr version;
    EXPECT_EQ(adapter->GetVersion(version.put()), S_OK);
    EXPECT_EQ(version.str(), L"1.1.31.362");

    ComPtr<IOleWindow> window;
    ASSERT_EQ(control->QueryInterface(IID_IOleWindow, window.put_void()), S_OK);
    HWND form = nullptr;
    ASSERT_EQ(window->GetWindow(&form), S_OK);
    EXPECT_TRUE(::IsChild(host.get(), form));
    EXPECT_TRUE(::IsWindowVisible(form));
    RECT rect{};
    ::GetWindowRect(form, &rect);
    EXPECT_GT(rect.right - rect.left, 0);
    EXPECT_GT(rect.bottom - rect.top, 0);

    window.reset();
    adapter.reset();
    control.reset();
    host.reset();
    vl::test::PumpMessages(100);
    EXPECT_FALSE(::IsWindow(form));
}

} // namespace
