#include "support/form_timer.h"

namespace vl {

void FormTimer::SetEnabled(bool enabled)
{
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    Restart();
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
    if (m_enabled && m_interval != 0 && OnTimer) OnTimer();
    return true;
}

void FormTimer::Stop()
{
    if (m_window) ::KillTimer(m_window, m_id);
}

void FormTimer::Restart()
{
    Stop();
    if (m_window && m_enabled && m_interval != 0) ::SetTimer(m_window, m_id, m_interval, nullptr);
}

} // namespace vl
