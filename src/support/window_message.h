// A message for a window, posted from any thread: how a wait on another thread wakes the
// window's own thread.
#pragma once

#include <windows.h>

namespace vl {

struct WindowMessage {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;

    // False when there is no window (any more) or its queue is full.
    bool Post() const { return window && ::PostMessageW(window, message, wParam, 0); }
};

} // namespace vl
