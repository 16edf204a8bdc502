#include "support/form_timer.h"

namespace vl {

void FormTimer::SetEnabled(bool enabled)
{
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    // Switched off, the window's timer runs on until its next tick, which stops it: a timer
    // switched off and on again within one interval (the response pump, around each request)
    // costs no call of the window system and keeps its period.
    if (enabled && !m_running) Restart();
}

void FormTimer::SetInterval(UINT interval)
{
    if (interval == m_interval) return;
    m_interval = interval;
    Restart();
}

void FormTimer::SetWindow(HWND window)
{
    Stop();
    m_window = window;
    Restart();
}

bool FormTimer::HandleTimerMessage(WPARAM id)
{
    if (id != m_id) return false;
    // A tick already queued when the timer was switched off is not delivered.
    if (!m_enabled) Stop();
    else if (m_interval != 0 && OnTimer) OnTimer();
    return true;
}

void FormTimer::Stop()
{
    if (m_window && m_running) ::KillTimer(m_window, m_id);
    m_running = false;
}

void FormTimer::Restart()
{
    Stop();
    m_running = m_window && m_enabled && m_interval != 0 && ::SetTimer(m_window, m_id, m_interval, nullptr);
}

} // namespace vl
