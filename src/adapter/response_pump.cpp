// The response pump: kernel messages become the page's OnResult, are consumed, or end the
// link. It runs on the ticks of the core's pump timer and whenever the link wakes it
// because kernel bytes arrived; it leaves the read pipe to a request while one waits.
#include "adapter/service_core.h"
#include "kernel_link/portable/kernel_commands.h"

namespace vl {

namespace {

// Messages handled per wake; more wait for the next one, so the page's own input runs.
constexpr int kMessagesPerWake = 16;

// Whether the page's input, painting or timers wait in the thread's queue.
bool PageMessagesWaiting()
{
    return HIWORD(::GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER)) != 0;
}

} // namespace

void ServiceCore::OnPumpTick()
{
    if (!m_link.TakePumpTick()) return;
    // A page handler may release the container from inside the event.
    const ContainerHold hold(m_container);
    for (int handled = 0; handled < kMessagesPerWake; ++handled) {
        // A handler may have switched the pump off (a request) or closed the link.
        if (!m_link.IsPumpOn()) return;
        KernelMessage message;
        const long status = m_link.NextMessage(message);
        if (status == ERROR_BROKEN_PIPE) {
            ClosePipes();
            m_link.SetPumpEnabled(false);
            return;
        }
        if (status == 0) {
            OnKernelMessage(message.cmdId, message.serialNum, message.params);
        } else if (status != kMalformedMessage) {
            // Woken as soon as bytes arrive, unless the page's own messages wait: then they
            // go first, and the timer's next tick looks again.
            if (status == ERROR_NO_DATA && !PageMessagesWaiting()) m_link.WatchReadPipe();
            return;
        }
    }
    // More may be waiting; the page's own messages go first, and the timer's next tick
    // takes up the rest after them.
    if (m_link.IsPumpOn() && !PageMessagesWaiting()) m_pump->Timer().TickMessage().Post();
}

void ServiceCore::OnKernelMessage(int cmdId, int serialNum, const std::wstring& params)
{
    switch (cmdId) {
    case kernel_command::kCloseNotice:
        m_link.SetPumpEnabled(false);
        m_link.Send(kernel_command::kCloseNotice, 0, L"NON");
        ClosePipes();
        return;
    case kernel_command::kRegistration:
    case kernel_command::kGreeting:
    case kernel_command::kRegistrationAnswer:
    case kernel_command::kRetDataNotice:
        return;
    default:
        if (params.empty()) return;
        m_events.OnResult(static_cast<ULONG>(cmdId), static_cast<ULONG>(serialNum), params);
    }
}

} // namespace vl
