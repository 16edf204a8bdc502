#include "support/timer_window.h"

#include "support/portable/exception_boundary.h"
#include "support/window_owner.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace vl {

namespace {

constexpr const wchar_t* kClassName = L"VLServiceTimerWindow";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kInterval = 100;

// The windows' code lives in this module, whichever module created the window.
HINSTANCE CodeModule()
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

// The class is registered while windows of it exist, on whichever threads they are.
struct WindowClassUse {
    CriticalSection lock;
    int windows = 0;
};

WindowClassUse& ClassUse()
{
    static WindowClassUse use;
    return use;
}

bool AcquireWindowClass(WNDPROC procedure)
{
    WindowClassUse& use = ClassUse();
    CriticalSectionLock lock(use.lock);
    if (use.windows == 0) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = CodeModule();
        windowClass.lpszClassName = kClassName;
        if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    }
    ++use.windows;
    return true;
}

void ReleaseWindowClass()
{
    WindowClassUse& use = ClassUse();
    CriticalSectionLock lock(use.lock);
    if (--use.windows == 0) ::UnregisterClassW(kClassName, CodeModule());
}

} // namespace

TimerWindow::TimerWindow() : m_timer(kTimerId)
{
    m_timer.SetEnabled(false);
    m_timer.SetInterval(kInterval);
}

TimerWindow::~TimerWindow()
{
    m_timer.SetWindow(nullptr);
    m_window.reset();
    if (m_classHeld) ReleaseWindowClass();
}

std::unique_ptr<TimerWindow> TimerWindow::Create()
{
    std::unique_ptr<TimerWindow> timerWindow(new TimerWindow());
    timerWindow->m_classHeld = AcquireWindowClass(&TimerWindow::WindowProc);
    if (!timerWindow->m_classHeld) return nullptr;
    timerWindow->m_window.reset(
        ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, CodeModule(), timerWindow.get()));
    if (!timerWindow->m_window) return nullptr;
    timerWindow->m_timer.SetWindow(timerWindow->m_window.get());
    return timerWindow;
}

LRESULT CALLBACK TimerWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* timerWindow = WindowOwner<TimerWindow>(window, message, lParam);
    if (timerWindow && (message == WM_TIMER || message == FormTimer::kTickMessage)) {
        // A tick runs its handler (the response pump raises page events, and the page may
        // release the pump's owner, this window with it): nothing thrown leaves it, and
        // nothing of the window is touched afterwards.
        bool handled = false;
        CatchIgnore([&] { handled = timerWindow->m_timer.HandleTimerMessage(wParam); });
        if (handled) return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace vl
