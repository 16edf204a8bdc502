// A window timer: WM_TIMER messages to its owner's window, handed back to the timer by the
// window's procedure. Its settings survive the window: a timer enabled while its owner has
// no window starts with the next one. A tick can also be asked for at once, from any
// thread, by posting its tick message.
#pragma once

#include <windows.h>

#include <functional>

#include "support/window_message.h"

namespace vl {

class FormTimer {
public:
    explicit FormTimer(UINT_PTR id) : m_id(id) {}
    ~FormTimer() { Stop(); }
    FormTimer(const FormTimer&) = delete;
    FormTimer& operator=(const FormTimer&) = delete;

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    // Milliseconds; 0 stops the ticks.
    UINT Interval() const { return m_interval; }
    void SetInterval(UINT interval);

    // Called from the owner's window procedure for each of the timer's WM_TIMER messages.
    std::function<void()> OnTimer;

    // The message that asks for a tick now; the owner's window procedure hands it, like each
    // WM_TIMER, to HandleTimerMessage. A tick asked for while the timer is off does nothing.
    static constexpr UINT kTickMessage = WM_APP + 0x54;
    WindowMessage TickMessage() const { return {m_window, kTickMessage, m_id}; }

    // The owner's window procedure hands each WM_TIMER to this; true when it was ours.
    bool HandleTimerMessage(WPARAM id);
    // The owner's window changed (null: it has none).
    void SetWindow(HWND window);

private:
    void Stop();
    void Restart();

    UINT_PTR m_id;
    HWND m_window = nullptr;
    bool m_enabled = true;
    UINT m_interval = 1000;
    // The window's timer is set (it may run on for one tick after the timer was switched off).
    bool m_running = false;
};

} // namespace vl
