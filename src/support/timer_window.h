// A message-only window that runs one FormTimer, for a program without the control's form:
// the service host gives it to the service core as the response pump's timer (100 ms, off
// until switched on, as the form's m_ReadPipeTimer).
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
    TimerWindow(const TimerWindow&) = delete;
    TimerWindow& operator=(const TimerWindow&) = delete;

    FormTimer& Timer() { return m_timer; }

private:
    TimerWindow();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UniqueWindow m_window;
    // After the window: stopped while the window is still there.
    FormTimer m_timer;
};

} // namespace vl
