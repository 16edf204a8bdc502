// The response pump: kernel messages become page events, are consumed, or end the link. It
// runs on the ticks of the form's m_ReadPipeTimer and whenever the link wakes it because
// kernel bytes arrived; the request exchange switches it off while it waits.
#include "adapter/VLServiceAdapterImpl.h"
#include "kernel_link/portable/kernel_commands.h"

namespace {

// Messages handled per wake; more wait for the next one, so the page's own input runs.
constexpr int kMessagesPerWake = 16;

// Whether the page's input, painting or timers wait in the thread's queue.
bool PageMessagesWaiting()
{
    return HIWORD(::GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER)) != 0;
}

} // namespace

void TVLServiceAdapterXImpl::SetReadPipeTimer(bool enabled)
{
    if (!m_pForm) return;
    const bool wasOn = m_pForm->m_ReadPipeTimer.Enabled();
    m_pForm->m_ReadPipeTimer.SetEnabled(enabled);
    // Messages may be waiting already: the pump looks at once.
    if (enabled && !wasOn) m_pForm->m_ReadPipeTimer.TickMessage().Post();
}

bool TVLServiceAdapterXImpl::IsReadPipeTimerOn() const
{
    return m_pForm && m_pForm->m_ReadPipeTimer.Enabled();
}

vl::WindowMessage TVLServiceAdapterXImpl::PumpWakeMessage()
{
    return m_pForm ? m_pForm->m_ReadPipeTimer.TickMessage() : vl::WindowMessage{};
}

void TVLServiceAdapterXImpl::OnReadPipeTimer()
{
    // A page handler may release the control from inside the event.
    const auto keepAlive = KeepAlive();
    for (int handled = 0; handled < kMessagesPerWake; ++handled) {
        // A handler may have switched the pump off (a request) or closed the link.
        if (!IsReadPipeTimerOn()) return;
        vl::KernelMessage message;
        const long status = m_Link.NextMessage(message);
        if (status == ERROR_BROKEN_PIPE) {
            ClosePipes();
            SetReadPipeTimer(false);
            return;
        }
        if (status == 0) {
            OnKernelMessage(message.cmdId, message.serialNum, message.params);
        } else if (status != vl::kMalformedMessage) {
            // Woken as soon as bytes arrive, unless the page's own messages wait: then they
            // go first, and the timer's next tick looks again.
            if (status == ERROR_NO_DATA && !PageMessagesWaiting()) m_Link.WatchReadPipe();
            return;
        }
    }
    // More may be waiting; the page's own messages go first, and the timer's next tick
    // takes up the rest after them.
    if (IsReadPipeTimerOn() && !PageMessagesWaiting()) m_pForm->m_ReadPipeTimer.TickMessage().Post();
}

void TVLServiceAdapterXImpl::OnKernelMessage(int cmdId, int serialNum, const std::wstring& params)
{
    namespace command = vl::kernel_command;
    switch (cmdId) {
    case command::kCloseNotice:
        SetReadPipeTimer(false);
        m_Link.Send(command::kCloseNotice, 0, L"NON");
        ClosePipes();
        return;
    case command::kRegistration:
    case command::kGreeting:
    case command::kRegistrationAnswer:
    case command::kRetDataNotice:
        return;
    default:
        if (params.empty()) return;
        vl::UniqueBstr text(params);
        Fire_OnResult(static_cast<ULONG>(cmdId), static_cast<ULONG>(serialNum), text.get());
    }
}
