#include "support/timer_window.h"

#include "support/portable/exception_boundary.h"
#include "support/window_owner.h"

namespace vl {

namespace {

constexpr const wchar_t* kClassName = L"VLServiceTimerWindow";
constexpr UINT_PTR kTimerId = 1;
// The form's m_ReadPipeTimer interval.
constexpr UINT kInterval = 100;

bool RegisterWindowClass(HINSTANCE instance, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassExW(&windowClass) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

TimerWindow::TimerWindow() : m_timer(kTimerId)
{
    m_timer.SetEnabled(false);
    m_timer.SetInterval(kInterval);
}

std::unique_ptr<TimerWindow> TimerWindow::Create()
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(instance, &TimerWindow::WindowProc)) return nullptr;
    std::unique_ptr<TimerWindow> timerWindow(new TimerWindow());
    timerWindow->m_window.reset(
        ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, timerWindow.get()));
    if (!timerWindow->m_window) return nullptr;
    timerWindow->m_timer.SetWindow(timerWindow->m_window.get());
    return timerWindow;
}

LRESULT CALLBACK TimerWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* timerWindow = WindowOwner<TimerWindow>(window, message, lParam);
    if (timerWindow && (message == WM_TIMER || message == FormTimer::kTickMessage)) {
        // A tick runs its handler (the response pump raises page events): nothing thrown leaves it.
        bool handled = false;
        CatchIgnore([&] { handled = timerWindow->m_timer.HandleTimerMessage(wParam); });
        if (handled) return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace vl
