// The frame of the page's window as an in-place object sees it: no menus, no toolbars,
// and the active object that keyboard messages are offered to first.
#pragma once

#include <windows.h>
#include <oleidl.h>

#include "com_server/com_object.h"
#include "support/win_handles.h"

namespace vl::pagehost {

class PageFrame final : public ComObjectImpl<PageFrame, IOleInPlaceFrame> {
public:
    using Interfaces = InterfaceList<Interface<IOleInPlaceFrame>, Interface<IOleWindow, IOleInPlaceFrame>,
                                     Interface<IOleInPlaceUIWindow, IOleInPlaceFrame>>;

    explicit PageFrame(HWND window);

    // Offers a keyboard message to the active object; true when it took the message.
    bool OfferKeyboardMessage(MSG& message);

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override;
    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(LPRECT border) override;
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override;
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override;
    // IOleInPlaceFrame
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override;
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override;
    STDMETHODIMP RemoveMenus(HMENU) override;
    STDMETHODIMP SetStatusText(LPCOLESTR) override;
    STDMETHODIMP EnableModeless(BOOL) override;
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override;

private:
    const HWND m_window;
    ComPtr<IOleInPlaceActiveObject> m_activeObject;
};

} // namespace vl::pagehost
