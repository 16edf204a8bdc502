#include "control_site.h"

#include <olectl.h>

#include <cmath>
#include <utility>

#include "ambient_properties.h"

namespace vl::pagehost {

namespace {

constexpr double kHimetricPerInch = 2540.0;
// An object without an extent gets the size a page gives any object without one.
constexpr SIZE kDefaultSize{300, 150};

SIZE ScreenDpi()
{
    const HDC screen = ::GetDC(nullptr);
    SIZE dpi{96, 96};
    if (screen) {
        dpi = {::GetDeviceCaps(screen, LOGPIXELSX), ::GetDeviceCaps(screen, LOGPIXELSY)};
        ::ReleaseDC(nullptr, screen);
    }
    return dpi;
}

double HimetricToPixels(double himetric, LONG dpi)
{
    return himetric * dpi / kHimetricPerInch;
}

double PixelsToHimetric(double pixels, LONG dpi)
{
    return pixels * kHimetricPerInch / dpi;
}

SIZE ExtentInPixels(IOleObject* object)
{
    SIZEL extent{};
    if (FAILED(object->GetExtent(DVASPECT_CONTENT, &extent)) || extent.cx <= 0 || extent.cy <= 0)
        return kDefaultSize;
    const SIZE dpi = ScreenDpi();
    return {std::lround(HimetricToPixels(extent.cx, dpi.cx)), std::lround(HimetricToPixels(extent.cy, dpi.cy))};
}

} // namespace

ControlSite::ControlSite(HWND window, ComPtr<IOleContainer> container, ComPtr<IOleInPlaceFrame> frame)
    : m_window(window), m_container(std::move(container)), m_frame(std::move(frame))
{
}

HRESULT ControlSite::Embed(IUnknown* control, POINT origin, std::optional<SIZE> size)
{
    ComPtr<IOleObject> object;
    if (!control || FAILED(control->QueryInterface(IID_IOleObject, object.put_void()))) return S_FALSE;
    m_object = object;
    if (size) {
        const SIZE dpi = ScreenDpi();
        SIZEL extent{std::lround(PixelsToHimetric(size->cx, dpi.cx)), std::lround(PixelsToHimetric(size->cy, dpi.cy))};
        object->SetExtent(DVASPECT_CONTENT, &extent);
    }
    const SIZE placed = size.value_or(ExtentInPixels(object.get()));
    m_position = {origin.x, origin.y, origin.x + placed.cx, origin.y + placed.cy};

    IOleClientSite* const site = this;
    DWORD status = 0;
    object->GetMiscStatus(DVASPECT_CONTENT, &status);
    const bool siteFirst = (status & OLEMISC_SETCLIENTSITEFIRST) != 0;
    HRESULT hr = siteFirst ? object->SetClientSite(site) : S_OK;
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(hr) && SUCCEEDED(object.As(persist))) hr = persist->InitNew();
    if (SUCCEEDED(hr) && !siteFirst) hr = object->SetClientSite(site);
    if (SUCCEEDED(hr)) hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, m_window, &m_position);
    if (FAILED(hr)) Unembed();
    return hr;
}

void ControlSite::Unembed()
{
    const ComPtr<IOleObject> object = std::exchange(m_object, nullptr);
    if (!object) return;
    ComPtr<IOleInPlaceObject> inPlace;
    if (m_inPlaceActive && SUCCEEDED(object.As(inPlace))) inPlace->InPlaceDeactivate();
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
}

HWND ControlSite::ControlWindow() const
{
    ComPtr<IOleInPlaceObject> inPlace;
    HWND window = nullptr;
    if (m_inPlaceActive && m_object && SUCCEEDED(m_object.As(inPlace)) && SUCCEEDED(inPlace->GetWindow(&window)))
        return window;
    return nullptr;
}

void ControlSite::PlaceControl(const RECT& position)
{
    m_position = position;
    ComPtr<IOleInPlaceObject> inPlace;
    RECT clip{};
    if (m_object && SUCCEEDED(m_object.As(inPlace)) && ::GetClientRect(m_window, &clip))
        inPlace->SetObjectRects(&m_position, &clip);
}

// IOleClientSite

STDMETHODIMP ControlSite::SaveObject()
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ControlSite::GetContainer(IOleContainer** container)
{
    if (!container) return E_POINTER;
    *container = nullptr;
    return m_container ? m_container.CopyTo(container) : E_NOINTERFACE;
}

STDMETHODIMP ControlSite::ShowObject()
{
    return S_OK;
}

STDMETHODIMP ControlSite::OnShowWindow(BOOL)
{
    return S_OK;
}

STDMETHODIMP ControlSite::RequestNewObjectLayout()
{
    return E_NOTIMPL;
}

// IOleWindow

STDMETHODIMP ControlSite::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = m_window;
    return S_OK;
}

STDMETHODIMP ControlSite::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

// IOleInPlaceSite

STDMETHODIMP ControlSite::CanInPlaceActivate()
{
    return S_OK;
}

STDMETHODIMP ControlSite::OnInPlaceActivate()
{
    m_inPlaceActive = true;
    return S_OK;
}

STDMETHODIMP ControlSite::OnUIActivate()
{
    return S_OK;
}

STDMETHODIMP ControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                           LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    // The frame's window is the document's window too: no separate document window.
    *document = nullptr;
    m_frame.CopyTo(frame);
    *position = m_position;
    ::GetClientRect(m_window, clip);
    info->fMDIApp = FALSE;
    info->hwndFrame = m_window;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP ControlSite::Scroll(SIZE)
{
    return E_NOTIMPL;
}

STDMETHODIMP ControlSite::OnUIDeactivate(BOOL)
{
    return S_OK;
}

STDMETHODIMP ControlSite::OnInPlaceDeactivate()
{
    m_inPlaceActive = false;
    return S_OK;
}

STDMETHODIMP ControlSite::DiscardUndoState()
{
    return S_OK;
}

STDMETHODIMP ControlSite::DeactivateAndUndo()
{
    ComPtr<IOleInPlaceObject> inPlace;
    if (m_object && SUCCEEDED(m_object.As(inPlace))) inPlace->UIDeactivate();
    return S_OK;
}

STDMETHODIMP ControlSite::OnPosRectChange(LPCRECT position)
{
    if (!position) return E_POINTER;
    PlaceControl(*position);
    return S_OK;
}

// IOleInPlaceSiteEx

STDMETHODIMP ControlSite::OnInPlaceActivateEx(BOOL* noRedraw, DWORD)
{
    if (noRedraw) *noRedraw = FALSE;
    return OnInPlaceActivate();
}

STDMETHODIMP ControlSite::OnInPlaceDeactivateEx(BOOL)
{
    return OnInPlaceDeactivate();
}

STDMETHODIMP ControlSite::RequestUIActivate()
{
    return S_OK;
}

// IOleControlSite

STDMETHODIMP ControlSite::OnControlInfoChanged()
{
    return S_OK;
}

STDMETHODIMP ControlSite::LockInPlaceActive(BOOL)
{
    return S_OK;
}

STDMETHODIMP ControlSite::GetExtendedControl(IDispatch** control)
{
    if (control) *control = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ControlSite::TransformCoords(POINTL* himetric, POINTF* container, DWORD flags)
{
    if (!himetric || !container) return E_POINTER;
    const SIZE dpi = ScreenDpi();
    if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
        container->x = static_cast<float>(HimetricToPixels(himetric->x, dpi.cx));
        container->y = static_cast<float>(HimetricToPixels(himetric->y, dpi.cy));
        return S_OK;
    }
    if (flags & XFORMCOORDS_CONTAINERTOHIMETRIC) {
        himetric->x = std::lround(PixelsToHimetric(container->x, dpi.cx));
        himetric->y = std::lround(PixelsToHimetric(container->y, dpi.cy));
        return S_OK;
    }
    return E_INVALIDARG;
}

STDMETHODIMP ControlSite::TranslateAccelerator(MSG*, DWORD)
{
    return S_FALSE;
}

STDMETHODIMP ControlSite::OnFocus(BOOL)
{
    return S_OK;
}

STDMETHODIMP ControlSite::ShowPropertyFrame()
{
    return E_NOTIMPL;
}

// IDispatch

STDMETHODIMP ControlSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                 UINT*)
{
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    UniqueVariant value;
    const HRESULT hr = ReadAmbientProperty(id, value.put());
    if (SUCCEEDED(hr) && result) {
        ::VariantInit(result);
        *result = *value.get();
        ::VariantInit(value.get()); // the caller owns what `result` holds now
    }
    return hr;
}

} // namespace vl::pagehost
