#include "kernel_window.h"

#include "support/win_handles.h"

namespace vl {

namespace {

constexpr wchar_t kWindowClass[] = L"TMainForm";
constexpr wchar_t kWindowTitle[] = L"VLWKernel";

LRESULT CALLBACK KernelWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int RunKernelWindow(HINSTANCE instance, HANDLE quitEvent, DWORD delayMs)
{
    if (delayMs && ::WaitForSingleObject(quitEvent, delayMs) == WAIT_OBJECT_0) return 0;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = KernelWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!::RegisterClassW(&windowClass)) return 1;
    UniqueWindow window(::CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                          CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr));
    if (!window) return 1;
    for (;;) {
        if (::MsgWaitForMultipleObjects(1, &quitEvent, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) return 0;
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                window.release(); // destroyed already
                return 0;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

} // namespace vl
