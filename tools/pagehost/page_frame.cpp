#include "page_frame.h"

namespace vl::pagehost {

PageFrame::PageFrame(HWND window) : m_window(window) {}

bool PageFrame::OfferKeyboardMessage(MSG& message)
{
    if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
    // The object may leave (SetActiveObject(nullptr)) while it translates.
    const ComPtr<IOleInPlaceActiveObject> active = m_activeObject;
    return active && active->TranslateAccelerator(&message) == S_OK;
}

STDMETHODIMP PageFrame::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = m_window;
    return S_OK;
}

STDMETHODIMP PageFrame::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP PageFrame::GetBorder(LPRECT border)
{
    if (!border) return E_POINTER;
    return ::GetClientRect(m_window, border) ? S_OK : E_FAIL;
}

STDMETHODIMP PageFrame::RequestBorderSpace(LPCBORDERWIDTHS)
{
    return INPLACE_E_NOTOOLSPACE;
}

STDMETHODIMP PageFrame::SetBorderSpace(LPCBORDERWIDTHS widths)
{
    return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
}

STDMETHODIMP PageFrame::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR)
{
    m_activeObject = ComPtr<IOleInPlaceActiveObject>(object);
    return S_OK;
}

STDMETHODIMP PageFrame::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS widths)
{
    if (widths) {
        for (LONG& width : widths->width) width = 0;
    }
    return S_OK;
}

STDMETHODIMP PageFrame::SetMenu(HMENU, HOLEMENU, HWND)
{
    return S_OK;
}

STDMETHODIMP PageFrame::RemoveMenus(HMENU)
{
    return S_OK;
}

STDMETHODIMP PageFrame::SetStatusText(LPCOLESTR)
{
    return S_OK;
}

STDMETHODIMP PageFrame::EnableModeless(BOOL)
{
    return S_OK;
}

STDMETHODIMP PageFrame::TranslateAccelerator(LPMSG, WORD)
{
    return S_FALSE;
}

} // namespace vl::pagehost
