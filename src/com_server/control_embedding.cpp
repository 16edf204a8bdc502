// TVLServiceAdapterXControl's embedding: IOleObject, in-place activation (IOleWindow,
// IOleInPlaceObject, IOleInPlaceActiveObject), IOleControl, ISimpleFrameSite and
// ISpecifyPropertyPages.
#include <olectl.h>

#include "com_server/advise_holders.h"
#include "com_server/control_geometry.h"
#include "com_server/exception_boundary.h"
#include "com_server/service_adapter_control.h"
#include "com_server/service_adapter_form.h"

using vl::CatchReturnHresult;
using vl::ComPtr;
using vl::EnumAdviseOf;
using vl::HimetricToPixels;
using vl::PixelsToHimetric;
using vl::UnadviseFrom;

// A container that cannot tell counts as running (user mode): pages never design.
bool TVLServiceAdapterXControl::AmbientUserMode()
{
    vl::UniqueVariant mode;
    if (FAILED(GetAmbientProperty(DISPID_AMBIENT_USERMODE, mode.get()))) return true;
    if (FAILED(::VariantChangeType(mode.get(), mode.get(), 0, VT_BOOL))) return true;
    return V_BOOL(mode.get()) != VARIANT_FALSE;
}

HRESULT TVLServiceAdapterXControl::ActivateInPlace(bool uiActivate)
{
    if (!m_clientSite) return E_UNEXPECTED;
    if (!m_inPlaceActive) {
        ComPtr<IOleInPlaceSite> site;
        HRESULT hr = m_clientSite.As(site);
        if (FAILED(hr)) return hr;
        hr = site->CanInPlaceActivate();
        if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
        hr = site->OnInPlaceActivate();
        if (FAILED(hr)) return hr;
        m_inPlaceSite = site;
        m_inPlaceActive = true;

        HWND parent = nullptr;
        RECT posRect{}, clipRect{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        hr = site->GetWindow(&parent);
        if (SUCCEEDED(hr))
            hr = site->GetWindowContext(m_inPlaceFrame.put(), m_inPlaceUIWindow.put(), &posRect, &clipRect,
                                        &frameInfo);
        if (FAILED(hr)) {
            InPlaceDeactivate();
            return hr;
        }
        m_form->SetParentWindow(parent);
        SetObjectRects(&posRect, &clipRect);
        m_form->SetVisible(true);
        m_clientSite->ShowObject();
    }
    if (uiActivate && !m_uiActive) {
        m_uiActive = true;
        ComPtr<IOleInPlaceSite> site = m_inPlaceSite;
        site->OnUIActivate();
        if (!m_uiActive) return S_OK; // the site deactivated us meanwhile
        ::SetFocus(m_form->Window());
        IOleInPlaceActiveObject* self = this;
        if (ComPtr<IOleInPlaceFrame> frame = m_inPlaceFrame) {
            frame->SetActiveObject(self, nullptr);
            frame->SetBorderSpace(nullptr);
        }
        if (ComPtr<IOleInPlaceUIWindow> uiWindow = m_inPlaceUIWindow) {
            uiWindow->SetActiveObject(self, nullptr);
            uiWindow->SetBorderSpace(nullptr);
        }
    }
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::ShowProperties()
{
    ComPtr<IOleControlSite> controlSite;
    if (m_clientSite && SUCCEEDED(m_clientSite.As(controlSite)) && controlSite->ShowPropertyFrame() == S_OK)
        return S_OK;
    // The control has no property pages: the platform's frame shows none.
    HWND owner = nullptr;
    if (m_inPlaceSite) m_inPlaceSite->GetWindow(&owner);
    IUnknown* object = ControllingUnknown();
    return ::OleCreatePropertyFrame(owner, 0, 0, L"VLServiceAdapterX", 1, &object, 0, nullptr,
                                    LOCALE_USER_DEFAULT, 0, nullptr);
}

// ---------------------------------------------------------------------------------------
// IOleObject

HRESULT TVLServiceAdapterXControl::SetClientSite(IOleClientSite* site)
{
    m_clientSite = ComPtr<IOleClientSite>(site);
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::GetClientSite(IOleClientSite** site)
{
    return m_clientSite.CopyTo(site);
}

HRESULT TVLServiceAdapterXControl::SetHostNames(LPCOLESTR, LPCOLESTR)
{
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::Close(DWORD saveOption)
{
    return CatchReturnHresult([&] {
        InPlaceDeactivate();
        if ((saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE) && IsDirty() == S_OK &&
            m_clientSite) {
            m_clientSite->SaveObject();
            if (m_oleAdviseHolder) m_oleAdviseHolder->SendOnSave();
        }
        if (ComPtr<IOleAdviseHolder> holder = m_oleAdviseHolder) holder->SendOnClose();
        return S_OK;
    });
}

HRESULT TVLServiceAdapterXControl::SetMoniker(DWORD, IMoniker*)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::InitFromData(IDataObject*, BOOL, DWORD)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::GetClipboardData(DWORD, IDataObject** data)
{
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT)
{
    return CatchReturnHresult([&] {
        switch (verb) {
        case OLEIVERB_PRIMARY: return AmbientUserMode() ? ActivateInPlace(true) : ShowProperties();
        case OLEIVERB_PROPERTIES: return ShowProperties();
        case OLEIVERB_UIACTIVATE: return ActivateInPlace(true);
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_SHOW: return ActivateInPlace(false);
        case OLEIVERB_HIDE:
            m_form->SetVisible(false);
            return S_OK;
        case OLEIVERB_OPEN:
        case OLEIVERB_DISCARDUNDOSTATE: return S_OK;
        default: return E_NOTIMPL;
        }
    });
}

HRESULT TVLServiceAdapterXControl::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (!verbs) return E_POINTER;
    return ::OleRegEnumVerbs(CLSID_VLServiceAdapterX, verbs);
}

HRESULT TVLServiceAdapterXControl::Update()
{
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::IsUpToDate()
{
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::GetUserClassID(CLSID* clsid)
{
    if (!clsid) return E_POINTER;
    *clsid = CLSID_VLServiceAdapterX;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::GetUserType(DWORD form, LPOLESTR* userType)
{
    if (!userType) return E_POINTER;
    return ::OleRegGetUserType(CLSID_VLServiceAdapterX, form, userType);
}

HRESULT TVLServiceAdapterXControl::SetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    return CatchReturnHresult([&] {
        m_extent = *size;
        // In place, the container's rectangles decide the window's size.
        if (!m_inPlaceActive) {
            const SIZE pixels = HimetricToPixels(m_extent);
            m_form->SetBounds({0, 0, pixels.cx, pixels.cy});
        }
        HandOutViewChange();
        return S_OK;
    });
}

HRESULT TVLServiceAdapterXControl::GetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = m_extent;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::Advise(IAdviseSink* sink, DWORD* connection)
{
    if (!m_oleAdviseHolder) {
        const HRESULT hr = ::CreateOleAdviseHolder(m_oleAdviseHolder.put());
        if (FAILED(hr)) return hr;
    }
    return m_oleAdviseHolder->Advise(sink, connection);
}

HRESULT TVLServiceAdapterXControl::Unadvise(DWORD connection)
{
    return UnadviseFrom(m_oleAdviseHolder, connection);
}

HRESULT TVLServiceAdapterXControl::EnumAdvise(IEnumSTATDATA** advise)
{
    return EnumAdviseOf(m_oleAdviseHolder, advise);
}

HRESULT TVLServiceAdapterXControl::GetMiscStatus(DWORD aspect, DWORD* status)
{
    if (!status) return E_POINTER;
    return ::OleRegGetMiscStatus(CLSID_VLServiceAdapterX, aspect, status);
}

HRESULT TVLServiceAdapterXControl::SetColorScheme(LOGPALETTE*)
{
    return E_NOTIMPL;
}

// ---------------------------------------------------------------------------------------
// IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject

HRESULT TVLServiceAdapterXControl::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = m_form->Window();
    return *window ? S_OK : E_FAIL;
}

HRESULT TVLServiceAdapterXControl::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::InPlaceDeactivate()
{
    return CatchReturnHresult([&] {
        if (!m_inPlaceActive) return S_OK;
        UIDeactivate();
        m_inPlaceActive = false;
        m_form->SetVisible(false);
        m_form->SetParentWindow(nullptr);
        ComPtr<IOleInPlaceSite> site = std::move(m_inPlaceSite);
        m_inPlaceFrame.reset();
        m_inPlaceUIWindow.reset();
        if (site) site->OnInPlaceDeactivate();
        return S_OK;
    });
}

HRESULT TVLServiceAdapterXControl::UIDeactivate()
{
    return CatchReturnHresult([&] {
        if (!m_uiActive) return S_OK;
        m_uiActive = false;
        if (ComPtr<IOleInPlaceFrame> frame = m_inPlaceFrame) frame->SetActiveObject(nullptr, nullptr);
        if (ComPtr<IOleInPlaceUIWindow> uiWindow = m_inPlaceUIWindow) uiWindow->SetActiveObject(nullptr, nullptr);
        if (ComPtr<IOleInPlaceSite> site = m_inPlaceSite) site->OnUIDeactivate(FALSE);
        return S_OK;
    });
}

HRESULT TVLServiceAdapterXControl::SetObjectRects(LPCRECT posRect, LPCRECT clipRect)
{
    if (!posRect) return E_POINTER;
    return CatchReturnHresult([&] {
        m_form->SetBounds(*posRect);
        m_extent = PixelsToHimetric(posRect->right - posRect->left, posRect->bottom - posRect->top);
        // Only the part inside the clip rectangle may show (a scrolled page hides the rest).
        RECT visible{};
        HRGN region = nullptr;
        if (clipRect && ::IntersectRect(&visible, posRect, clipRect) && !::EqualRect(&visible, posRect)) {
            ::OffsetRect(&visible, -posRect->left, -posRect->top);
            region = ::CreateRectRgnIndirect(&visible);
        } else if (clipRect && ::IsRectEmpty(&visible)) {
            region = ::CreateRectRgn(0, 0, 0, 0);
        }
        ::SetWindowRgn(m_form->Window(), region, TRUE); // the window owns the region now
        return S_OK;
    });
}

HRESULT TVLServiceAdapterXControl::ReactivateAndUndo()
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::TranslateAccelerator(LPMSG)
{
    return S_FALSE; // the control has no accelerators
}

HRESULT TVLServiceAdapterXControl::OnFrameWindowActivate(BOOL)
{
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::OnDocWindowActivate(BOOL)
{
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL)
{
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::EnableModeless(BOOL)
{
    return S_OK;
}

// ---------------------------------------------------------------------------------------
// IOleControl

HRESULT TVLServiceAdapterXControl::GetControlInfo(CONTROLINFO* info)
{
    if (!info) return E_POINTER;
    // No mnemonics.
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::OnMnemonic(MSG*)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::OnAmbientPropertyChange(DISPID dispid)
{
    return CatchReturnHresult([&] { return ApplyAmbientProperties(dispid); });
}

HRESULT TVLServiceAdapterXControl::FreezeEvents(BOOL freeze)
{
    if (freeze)
        ++m_freezeCount;
    else if (m_freezeCount > 0)
        --m_freezeCount;
    return S_OK;
}

// ---------------------------------------------------------------------------------------
// ISimpleFrameSite: every message goes on to the form.

HRESULT TVLServiceAdapterXControl::PreMessageFilter(HWND, UINT, WPARAM, LPARAM, LRESULT*, DWORD*)
{
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::PostMessageFilter(HWND, UINT, WPARAM, LPARAM, LRESULT*, DWORD)
{
    return S_OK;
}

// ---------------------------------------------------------------------------------------
// ISpecifyPropertyPages: the control's only design-time properties are its extent.

HRESULT TVLServiceAdapterXControl::GetPages(CAUUID* pages)
{
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    return S_OK;
}
