// The kernel's main window, by which adapters know that the kernel runs: top-level, class
// "TMainForm", title "VLWKernel", never shown.
#pragma once

#include <windows.h>

namespace vl {

// Opens the window `delayMs` after the call and runs the message loop until `quitEvent` is
// set or the window is closed (WM_CLOSE). 0, or 1 when the window could not be made.
int RunKernelWindow(HINSTANCE instance, HANDLE quitEvent, DWORD delayMs);

} // namespace vl
