// The site of the control on the page: what a browser gives an embedded control to talk
// back to its container (client site, in-place site, control site, ambient properties),
// and the embedding sequence itself.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <optional>

#include "com_server/com_object.h"
#include "support/win_handles.h"
#include "typeless_dispatch.h"

namespace vl::pagehost {

class ControlSite final
    : public ComObjectImpl<ControlSite, IOleClientSite, IOleInPlaceSiteEx, IOleControlSite, TypelessDispatch<>> {
public:
    using Interfaces =
        InterfaceList<Interface<IOleClientSite>, Interface<IOleWindow, IOleInPlaceSiteEx>,
                      Interface<IOleInPlaceSite, IOleInPlaceSiteEx>, Interface<IOleInPlaceSiteEx>,
                      Interface<IOleControlSite>, Interface<IDispatch>>;

    // `window` is the page's window, `container` the page's document, `frame` the frame
    // of the window.
    ControlSite(HWND window, ComPtr<IOleContainer> container, ComPtr<IOleInPlaceFrame> frame);

    // Embeds `control` and activates it in place, its top left corner at `origin` and its
    // size `size` in pixels (its own extent when none is given, as for an <object> without
    // width and height): client site, new state, in-place activation. S_FALSE when the
    // object is no OLE object (it stays usable from script, without a place on the page);
    // on failure nothing stays embedded.
    HRESULT Embed(IUnknown* control, POINT origin, std::optional<SIZE> size = std::nullopt);
    // Deactivates and closes the embedded control and drops the site's references to it.
    void Unembed();
    // The control's window while it is active in place, otherwise null.
    HWND ControlWindow() const;

    // IOleClientSite
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL) override;
    STDMETHODIMP RequestNewObjectLayout() override;
    // IOleWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override;
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override;
    STDMETHODIMP OnUIDeactivate(BOOL) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override;
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(LPCRECT position) override;
    // IOleInPlaceSiteEx
    STDMETHODIMP OnInPlaceActivateEx(BOOL* noRedraw, DWORD) override;
    STDMETHODIMP OnInPlaceDeactivateEx(BOOL) override;
    STDMETHODIMP RequestUIActivate() override;
    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() override;
    STDMETHODIMP LockInPlaceActive(BOOL) override;
    STDMETHODIMP GetExtendedControl(IDispatch** control) override;
    STDMETHODIMP TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
    STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override;
    STDMETHODIMP OnFocus(BOOL) override;
    STDMETHODIMP ShowPropertyFrame() override;
    // IDispatch: the ambient properties, read by DISPID.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

private:
    // Where the control sits: its new place, clipped to the page's window.
    void PlaceControl(const RECT& position);

    const HWND m_window;
    const ComPtr<IOleContainer> m_container;
    const ComPtr<IOleInPlaceFrame> m_frame;
    ComPtr<IOleObject> m_object;
    RECT m_position{};
    bool m_inPlaceActive = false;
};

} // namespace vl::pagehost
