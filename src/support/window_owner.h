// The object a window was created for: the creation parameter of CreateWindowExW, kept in
// the window's user data from WM_NCCREATE on, for window procedures that hand messages to it.
#pragma once

#include <windows.h>

namespace vl {

// Call first in the window procedure, for every message; null before WM_NCCREATE.
template <typename Owner>
Owner* WindowOwner(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

} // namespace vl
