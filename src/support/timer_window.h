// A message-only window that runs one FormTimer: the service core's response pump (100 ms,
// off until switched on). Its window class belongs to the module that holds this code and
// is registered while one of its windows exists, so that the control's module can be
// unloaded and loaded again.
#pragma once

#include <windows.h>

#include <memory>

#include "support/form_timer.h"
#include "support/win_handles.h"

namespace vl {

class TimerWindow {
public:
    // Null when the window cannot be made.
    static std::unique_ptr<TimerWindow> Create();
    ~TimerWindow();
    TimerWindow(const TimerWindow&) = delete;
    TimerWindow& operator=(const TimerWindow&) = delete;

    FormTimer& Timer() { return m_timer; }
    const FormTimer& Timer() const { return m_timer; }

private:
    TimerWindow();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    bool m_classHeld = false;
    UniqueWindow m_window;
    FormTimer m_timer;
};

} // namespace vl
