// The request exchange, which waits for one answer on the read pipe while the thread's
// window messages run, and the reading of the kernel's own messages for the response pump,
// which is woken when bytes arrive.
#include "kernel_link/kernel_link.h"
#include "kernel_link/pipe_message_codec.h"
#include "support/platform_calls.h"
#include "support/widget_log.h"

namespace vl {

namespace {

// The request is written at once and again every kResendInterval until the deadline.
constexpr int kWrites = static_cast<int>(KernelLink::kRequestDeadline / KernelLink::kResendInterval) + 1;
// Messages read into the kept ones before a request is written, at most.
constexpr int kMaxReadsBeforeRequest = 64;

// Runs the window messages waiting in the thread's queue. False when the host's loop is
// told to quit: WM_QUIT goes back into the queue for that loop, and the wait ends.
bool RunMessageQueue()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

class DepthCount {
public:
    explicit DepthCount(int& depth) : m_depth(depth) { ++m_depth; }
    ~DepthCount() { --m_depth; }
    DepthCount(const DepthCount&) = delete;
    DepthCount& operator=(const DepthCount&) = delete;

private:
    int& m_depth;
};

} // namespace

void CALLBACK KernelLink::PostWake(void* context, BOOLEAN)
{
    auto& wake = *static_cast<Wake*>(context);
    wake.armed = false;
    wake.message.Post();
}

long KernelLink::ReadMessage(KernelMessage& message)
{
    return m_read ? m_read->Read(message) : ERROR_INVALID_HANDLE;
}

void KernelLink::KeepMessage(KernelMessage message)
{
    if (m_keptMessages.size() < kMaxKeptMessages) m_keptMessages.push_back(std::move(message));
    else ++m_droppedMessages;
}

void KernelLink::ReportDroppedMessages()
{
    if (m_droppedMessages == 0) return;
    VL_LOG(L"    %u kernel messages dropped: %u were kept already.\n", static_cast<unsigned>(m_droppedMessages),
           static_cast<unsigned>(kMaxKeptMessages));
    m_droppedMessages = 0;
}

void KernelLink::KeepWaitingMessages()
{
    // What does not fit stays in the pipe for the pump.
    for (int i = 0; i < kMaxReadsBeforeRequest && m_keptMessages.size() < kMaxKeptMessages; ++i) {
        KernelMessage message;
        const long status = ReadMessage(message);
        if (status == kMalformedMessage) continue;
        if (status != 0) return;
        KeepMessage(std::move(message));
    }
}

std::optional<std::wstring> KernelLink::Exchange(int cmdId, const std::wstring& params)
{
    const DepthCount depth(m_exchangeDepth);
    m_host.SetPumpEnabled(false);
    // An answer that came after an earlier exchange gave up must not pass for the answer
    // to this request: whatever is waiting now goes to the pump.
    KeepWaitingMessages();

    const unsigned pair = m_pairGeneration;
    // Time as the request counts it, on the adapter's clock.
    const DWORD start = Platform().getTickCount();
    const auto elapsed = [start] { return Platform().getTickCount() - start; };
    const auto left = [&](DWORD until) { return until > elapsed() ? until - elapsed() : 0; };
    std::optional<std::wstring> answer;
    for (int writes = 0;;) {
        if (elapsed() >= static_cast<DWORD>(writes) * kResendInterval) {
            // A lost copy is made up by the next one.
            SendBy(cmdId, 0, params, ::GetTickCount() + left(kRequestDeadline));
            ++writes;
            if (m_pairGeneration != pair) break;
        }
        VL_LOG(L"    waiting for response ...\n");
        long status = 0;
        KernelMessage message;
        // A kernel that keeps the pipe full of other messages holds the request no longer
        // than one that stays silent.
        bool late = false;
        while ((status = ReadMessage(message)) == 0 || status == kMalformedMessage) {
            if (status == 0) {
                if (message.cmdId == cmdId) {
                    answer = std::move(message.params);
                    break;
                }
                KeepMessage(std::move(message));
            }
            if (elapsed() >= kRequestDeadline) {
                late = true;
                break;
            }
        }
        // No answer comes through a broken pipe.
        if (answer || late || writes == kWrites || status != ERROR_NO_DATA) break;
        HANDLE ready = m_read->ReadyEvent();
        const DWORD untilNextWrite = left(static_cast<DWORD>(writes) * kResendInterval);
        if (::MsgWaitForMultipleObjectsEx(1, &ready, untilNextWrite, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
                WAIT_OBJECT_0 + 1 &&
            (!RunMessageQueue() || m_pairGeneration != pair))
            break; // quitting, or a call meanwhile closed or replaced the pair
    }
    ReportDroppedMessages();
    if (!answer) {
        VL_LOG(L"    failed.\n");
        return std::nullopt;
    }
    VL_LOG(L"    succeeded.\n");
    m_host.SetPumpEnabled(true);
    return answer;
}

long KernelLink::NextMessage(KernelMessage& message)
{
    if (!m_keptMessages.empty()) {
        message = std::move(m_keptMessages.front());
        m_keptMessages.pop_front();
        return 0;
    }
    return ReadMessage(message);
}

void KernelLink::WatchReadPipe()
{
    if (!m_read || (m_wakeWait && m_wake.armed)) return;
    StopWatching();
    m_wake.message = m_host.PumpWakeMessage();
    m_wake.armed = true;
    if (!::RegisterWaitForSingleObject(&m_wakeWait, m_read->ReadyEvent(), PostWake, &m_wake, INFINITE,
                                       WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD)) {
        // The pump's timer still finds the bytes.
        m_wakeWait = nullptr;
        m_wake.armed = false;
    }
}

void KernelLink::StopWatching()
{
    // Waits for a wake being posted right now, so that m_wake may change afterwards.
    if (m_wakeWait) ::UnregisterWaitEx(m_wakeWait, INVALID_HANDLE_VALUE);
    m_wakeWait = nullptr;
    m_wake.armed = false;
}

} // namespace vl
