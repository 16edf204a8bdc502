// The page's top-level window, the parent of the controls on the page. Closing it (by its
// user or another program) does not destroy it: it asks the page to end, and the page
// takes its controls down before the window goes.
#pragma once

#include <windows.h>

#include <string>

#include "support/win_handles.h"

namespace vl::pagehost {

class HostWindow {
public:
    HostWindow() = default;
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // Creates and shows the window with a client area of `width` by `height` pixels.
    bool Create(const std::wstring& title, int width, int height);
    HWND Handle() const { return m_window.get(); }
    // True once the window was asked to close.
    bool CloseRequested() const { return m_closeRequested; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UniqueWindow m_window;
    bool m_closeRequested = false;
};

} // namespace vl::pagehost
