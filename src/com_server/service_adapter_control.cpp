#include "com_server/service_adapter_control.h"

#include <olectl.h>

#include "com_server/error_info.h"
#include "com_server/server_module.h"
#include "com_server/service_adapter_form.h"
#include "com_server/type_info_cache.h"

using vl::ComPtr;
using vl::Guarded;

namespace {

constexpr LONG kHimetricPerInch = 2540;

// The screen's device context, for sizes and compatible bitmaps.
class ScreenDc {
public:
    ScreenDc() : m_dc(::GetDC(nullptr)) {}
    ~ScreenDc()
    {
        if (m_dc) ::ReleaseDC(nullptr, m_dc);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return m_dc; }

private:
    HDC m_dc;
};

SIZEL PixelsToHimetric(LONG width, LONG height)
{
    ScreenDc screen;
    return {::MulDiv(width, kHimetricPerInch, ::GetDeviceCaps(screen.get(), LOGPIXELSX)),
            ::MulDiv(height, kHimetricPerInch, ::GetDeviceCaps(screen.get(), LOGPIXELSY))};
}

SIZE HimetricToPixels(const SIZEL& size)
{
    ScreenDc screen;
    return {::MulDiv(size.cx, ::GetDeviceCaps(screen.get(), LOGPIXELSX), kHimetricPerInch),
            ::MulDiv(size.cy, ::GetDeviceCaps(screen.get(), LOGPIXELSY), kHimetricPerInch)};
}

RECT WindowSize(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return {0, 0, rect.right - rect.left, rect.bottom - rect.top};
}

// The OLE and data advise holders answer the same way when none was made yet.
template <typename Holder>
HRESULT UnadviseFrom(const ComPtr<Holder>& holder, DWORD connection)
{
    return holder ? holder->Unadvise(connection) : OLE_E_NOCONNECTION;
}

template <typename Holder>
HRESULT EnumAdviseOf(const ComPtr<Holder>& holder, IEnumSTATDATA** advise)
{
    if (!advise) return E_POINTER;
    *advise = nullptr;
    return holder ? holder->EnumAdvise(advise) : S_OK; // no connections: no enumerator
}

} // namespace

TVLServiceAdapterXControl::TVLServiceAdapterXControl()
{
    vl::Module().Lock();
}

TVLServiceAdapterXControl::~TVLServiceAdapterXControl()
{
    m_viewSink.reset();
    m_oleAdviseHolder.reset();
    m_dataAdviseHolder.reset();
    m_inPlaceUIWindow.reset();
    m_inPlaceFrame.reset();
    m_inPlaceSite.reset();
    m_clientSite.reset();
    m_objectSite.reset();
    m_form.reset();
    vl::Module().Unlock();
}

HRESULT TVLServiceAdapterXControl::FinalConstruct()
{
    return vl::ReportingExceptions(GUID_NULL, [&] {
        m_connectionPoints = std::make_unique<vl::ConnectionPoints>(static_cast<IConnectionPointContainer*>(this));
        std::wstring error;
        {
            vl::CriticalSectionLock lock(vl::Module().WindowCreationLock());
            m_form = TVLServiceAdapterX::Create(vl::Module().Instance(), error);
        }
        if (!m_form) return vl::ReportException(GUID_NULL, error);
        const RECT size = WindowSize(m_form->Window());
        m_extent = PixelsToHimetric(size.right, size.bottom);
        return InitializeControl();
    });
}

// The page hears the form's OnDestroy while its sinks are still connected and the whole
// instance stands; then the sinks are let go, before anything of the instance is taken
// down. A construction that failed may have left either missing.
void TVLServiceAdapterXControl::FinalRelease()
{
    // Runs inside Release: the page's handler may fail, but nothing may leave the method,
    // and the sinks are let go either way.
    try {
        if (m_form) m_form->RaiseDestroy();
    } catch (...) {
    }
    if (m_connectionPoints) m_connectionPoints->Disconnect();
}

// ---------------------------------------------------------------------------------------
// Helpers

vl::EventConnectionPoint* TVLServiceAdapterXControl::EventSinks()
{
    return m_connectionPoints ? &m_connectionPoints->Events() : nullptr;
}

HRESULT TVLServiceAdapterXControl::GetAmbientProperty(DISPID dispid, VARIANT* value)
{
    ::VariantInit(value);
    if (!m_clientSite) return E_UNEXPECTED;
    ComPtr<IDispatch> ambient;
    HRESULT hr = m_clientSite.As(ambient);
    if (FAILED(hr)) return hr;
    DISPPARAMS noArguments{};
    return ambient->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &noArguments, value, nullptr,
                           nullptr);
}

// A container that cannot tell counts as running (user mode): pages never design.
bool TVLServiceAdapterXControl::AmbientUserMode()
{
    vl::UniqueVariant mode;
    if (FAILED(GetAmbientProperty(DISPID_AMBIENT_USERMODE, mode.get()))) return true;
    if (FAILED(::VariantChangeType(mode.get(), mode.get(), 0, VT_BOOL))) return true;
    return V_BOOL(mode.get()) != VARIANT_FALSE;
}

void TVLServiceAdapterXControl::HandOutViewChange()
{
    ComPtr<IAdviseSink> sink = m_viewSink;
    if (!sink) return;
    if (m_viewSinkFlags & ADVF_ONLYONCE) m_viewSink.reset();
    sink->OnViewChange(DVASPECT_CONTENT, -1);
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
    return Guarded([&] {
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
    return Guarded([&] {
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
    return Guarded([&] {
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
    return Guarded([&] {
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
    return Guarded([&] {
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
    return Guarded([&] {
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
    return Guarded([&] { return ApplyAmbientProperties(dispid); });
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
// IViewObject, IViewObject2, IViewObjectEx

HRESULT TVLServiceAdapterXControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc, LPCRECTL bounds,
                                        LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_OPAQUE && aspect != DVASPECT_TRANSPARENT)
        return DV_E_DVASPECT;
    if (!drawDc || !bounds) return E_INVALIDARG;
    return Guarded([&] {
        // The form paints itself into a bitmap of its own size, which is then stretched
        // into the caller's rectangle (a print preview or a metafile may differ in scale).
        HWND window = m_form->Window();
        const RECT size = WindowSize(window);
        if (size.right <= 0 || size.bottom <= 0) return S_OK;
        ScreenDc screen;
        vl::UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
        vl::UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.get(), size.right, size.bottom));
        if (!memory || !bitmap) return E_OUTOFMEMORY;
        HGDIOBJ previous = ::SelectObject(memory.get(), bitmap.get());
        ::SendMessageW(window, WM_PRINT, reinterpret_cast<WPARAM>(memory.get()),
                       PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
        ::StretchBlt(drawDc, bounds->left, bounds->top, bounds->right - bounds->left, bounds->bottom - bounds->top,
                     memory.get(), 0, 0, size.right, size.bottom, SRCCOPY);
        ::SelectObject(memory.get(), previous);
        return S_OK;
    });
}

HRESULT TVLServiceAdapterXControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colorSet)
{
    if (colorSet) *colorSet = nullptr;
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::Freeze(DWORD, LONG, void*, DWORD*)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::Unfreeze(DWORD)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    m_viewSink = ComPtr<IAdviseSink>(sink);
    m_viewSinkAspects = aspects;
    m_viewSinkFlags = flags;
    if (sink && (flags & ADVF_PRIMEFIRST)) HandOutViewChange();
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects) *aspects = m_viewSinkAspects;
    if (flags) *flags = m_viewSinkFlags;
    if (sink) m_viewSink.CopyTo(sink);
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

HRESULT TVLServiceAdapterXControl::GetRect(DWORD, LPRECTL)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::GetViewStatus(DWORD* status)
{
    if (!status) return E_POINTER;
    *status = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG, DWORD* hitResult)
{
    if (!bounds || !hitResult) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    *hitResult = ::PtInRect(bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG,
                                                DWORD* hitResult)
{
    if (!bounds || !location || !hitResult) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    RECT overlap{};
    *hitResult = ::IntersectRect(&overlap, bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL)
{
    return E_NOTIMPL;
}

// ---------------------------------------------------------------------------------------
// IDataObject: the control offers no data formats, only the advise connections.

HRESULT TVLServiceAdapterXControl::GetData(FORMATETC*, STGMEDIUM*)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::GetDataHere(FORMATETC*, STGMEDIUM*)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::QueryGetData(FORMATETC*)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::SetData(FORMATETC*, STGMEDIUM*, BOOL)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::EnumFormatEtc(DWORD, IEnumFORMATETC** formats)
{
    if (formats) *formats = nullptr;
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection)
{
    if (!m_dataAdviseHolder) {
        const HRESULT hr = ::CreateDataAdviseHolder(m_dataAdviseHolder.put());
        if (FAILED(hr)) return hr;
    }
    IDataObject* self = this;
    return m_dataAdviseHolder->Advise(self, format, flags, sink, connection);
}

HRESULT TVLServiceAdapterXControl::DUnadvise(DWORD connection)
{
    return UnadviseFrom(m_dataAdviseHolder, connection);
}

HRESULT TVLServiceAdapterXControl::EnumDAdvise(IEnumSTATDATA** advise)
{
    return EnumAdviseOf(m_dataAdviseHolder, advise);
}

// ---------------------------------------------------------------------------------------
// IQuickActivate

HRESULT TVLServiceAdapterXControl::QuickActivate(QACONTAINER* container, QACONTROL* control)
{
    if (!container || !control) return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL)) return E_INVALIDARG;
    return Guarded([&] {
        SetClientSite(container->pClientSite);
        if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
        control->dwEventCookie = 0;
        control->dwPropNotifyCookie = 0;
        ComPtr<IConnectionPoint> point;
        if (container->pUnkEventSink && SUCCEEDED(FindConnectionPoint(DIID_IVLServiceAdapterXEvents, point.put())))
            point->Advise(container->pUnkEventSink, &control->dwEventCookie);
        if (container->pPropertyNotifySink && SUCCEEDED(FindConnectionPoint(IID_IPropertyNotifySink, point.put())))
            point->Advise(container->pPropertyNotifySink, &control->dwPropNotifyCookie);
        GetMiscStatus(DVASPECT_CONTENT, &control->dwMiscStatus);
        GetViewStatus(&control->dwViewStatus);
        control->dwPointerActivationPolicy = 0;
        return S_OK;
    });
}

HRESULT TVLServiceAdapterXControl::SetContentExtent(LPSIZEL size)
{
    return SetExtent(DVASPECT_CONTENT, size);
}

HRESULT TVLServiceAdapterXControl::GetContentExtent(LPSIZEL size)
{
    return GetExtent(DVASPECT_CONTENT, size);
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

// ---------------------------------------------------------------------------------------
// IProvideClassInfo, IProvideClassInfo2

HRESULT TVLServiceAdapterXControl::GetClassInfo(ITypeInfo** info)
{
    return Guarded([&] { return vl::GetControlClassInfo(info); });
}

HRESULT TVLServiceAdapterXControl::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid) return E_POINTER;
    if (kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = DIID_IVLServiceAdapterXEvents;
        return S_OK;
    }
    *guid = GUID_NULL;
    return E_FAIL;
}

// ---------------------------------------------------------------------------------------
// ISupportErrorInfo, IObjectSafety

HRESULT TVLServiceAdapterXControl::InterfaceSupportsErrorInfo(REFIID iid)
{
    return !::IsEqualIID(iid, IID_IUnknown) && AnswersInterface(iid) ? S_OK : S_FALSE;
}

HRESULT TVLServiceAdapterXControl::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled)
{
    if (!supported || !enabled) return E_POINTER;
    ComPtr<IUnknown> answered;
    const HRESULT hr = ControllingUnknown()->QueryInterface(iid, answered.put_void());
    if (FAILED(hr)) {
        *supported = 0;
        *enabled = 0;
        return hr;
    }
    *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
    *enabled = m_safetyOptions;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled)
{
    ComPtr<IUnknown> answered;
    if (FAILED(ControllingUnknown()->QueryInterface(iid, answered.put_void()))) return E_NOINTERFACE;
    if (mask & ~DWORD{INTERFACESAFE_FOR_UNTRUSTED_CALLER}) return E_FAIL;
    m_safetyOptions = (m_safetyOptions & ~mask) | (enabled & mask);
    if (m_safetyOptions & INTERFACESAFE_FOR_UNTRUSTED_CALLER) m_untrustedCallers = true;
    return S_OK;
}

// ---------------------------------------------------------------------------------------
// IObjectWithSite

HRESULT TVLServiceAdapterXControl::SetSite(IUnknown* site)
{
    m_objectSite = ComPtr<IUnknown>(site);
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::GetSite(REFIID iid, void** site)
{
    if (!site) return E_POINTER;
    *site = nullptr;
    return m_objectSite ? m_objectSite->QueryInterface(iid, site) : E_FAIL;
}

// ---------------------------------------------------------------------------------------
// IDispatch

HRESULT TVLServiceAdapterXControl::GetTypeInfoCount(UINT* count)
{
    return vl::adapter_dispatch::GetTypeInfoCount(count);
}

HRESULT TVLServiceAdapterXControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info)
{
    return Guarded([&] { return vl::adapter_dispatch::GetTypeInfo(index, lcid, info); });
}

HRESULT TVLServiceAdapterXControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    return Guarded([&] { return vl::adapter_dispatch::GetIDsOfNames(iid, names, count, lcid, ids); });
}

HRESULT TVLServiceAdapterXControl::Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                          VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    return Guarded([&] {
        return vl::adapter_dispatch::Invoke(this, member, iid, lcid, flags, params, result, exception, argError);
    });
}

// ---------------------------------------------------------------------------------------
// IConnectionPointContainer

HRESULT TVLServiceAdapterXControl::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    return Guarded([&] { return m_connectionPoints->EnumConnectionPoints(points); });
}

HRESULT TVLServiceAdapterXControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    return Guarded([&] { return m_connectionPoints->FindConnectionPoint(iid, point); });
}
