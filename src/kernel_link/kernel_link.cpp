// KernelLink: the pipe pair and its handshake through the main pipe, the registration, the
// link check and single messages; the request exchange, which waits for one answer on the
// read pipe while the thread's window messages run; and the reading of the kernel's own
// messages for the response pump, which is woken when bytes arrive.
#include "kernel_link/kernel_link.h"
#include "kernel_link/portable/kernel_commands.h"
#include "kernel_link/portable/pipe_names.h"
#include "support/platform_calls.h"
#include "support/widget_log.h"

namespace vl {

namespace {

// Each phase of the handshake gives up after this long.
constexpr DWORD kPhaseLimit = 4000;

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

KernelLink::KernelLink(IKernelLinkHost& host) : m_host(host) {}

KernelLink::~KernelLink()
{
    // The pipes close with their owners; the wait that wakes the pump goes first.
    StopWatching();
}

bool KernelLink::Handshake()
{
    VL_LOG(L"starting create pipe process.\n");
    ForgetPair();
    m_droppedMessages = 0;
    // A pair still open from an earlier link stays open; it is closed with the link.
    for (auto* pipe : {&m_read, &m_write})
        if (*pipe) m_earlierPipes.push_back(std::move(*pipe));
    m_dwPipeID = Platform().getTickCount();
    if (!OpenPair() || !AnnouncePair() || !AwaitFirstMessage()) {
        Close();
        return false;
    }
    VL_LOG(L"    read/write pipe create succeeded.\n");
    m_host.SetPumpEnabled(true);
    return true;
}

bool KernelLink::OpenPair()
{
    VL_LOG(L"    creating read pipe ...\n");
    m_read = KernelPipe::CreateServerEnd(ReadPipeName(m_dwPipeID), PIPE_ACCESS_INBOUND, true);
    if (!m_read) {
        VL_LOG(L"    create read pipe failure.\n");
        return false;
    }
    VL_LOG(L"    creating write pipe ...\n");
    m_write = KernelPipe::CreateServerEnd(WritePipeName(m_dwPipeID), PIPE_ACCESS_OUTBOUND, true);
    if (!m_write) {
        VL_LOG(L"    create write pipe failure.\n");
        return false;
    }
    return true;
}

bool KernelLink::AnnouncePair()
{
    VL_LOG(L"    creating main pipe for issue my pipe name ...\n");
    const auto mainPipe = CreateMainPipe(::GetTickCount() + kPhaseLimit);
    if (!mainPipe) {
        VL_LOG(L"    create main pipe failure.\n");
        return false;
    }
    VL_LOG(L"    issue my pipe name to widget kernel ...\n");
    const DWORD noticeDeadline = ::GetTickCount() + kPhaseLimit;
    bool cut = false;
    if (!mainPipe->WaitForClient(noticeDeadline) ||
        mainPipe->WriteMessage(kernel_command::kPipeIdNotice, 0, PipeIdNotice(m_dwPipeID), noticeDeadline, cut) != 0) {
        VL_LOG(L"    write my pipe name information to output pipe failure.\n");
        return false;
    }
    // The kernel reads the notice from its own end; once it closes that end the next
    // adapter can offer the main pipe.
    return true;
}

bool KernelLink::AwaitFirstMessage()
{
    VL_LOG(L"    waiting for widget kernel response ...\n");
    const DWORD deadline = ::GetTickCount() + kPhaseLimit;
    // The kernel's first message proves that it opened the pair; its content is not used.
    KernelMessage first;
    if (m_read->WaitForClient(deadline) && m_write->WaitForClient(deadline) && m_read->ReadBy(first, deadline) == 0)
        return true;
    VL_LOG(L"    cannot received widget kernel response.\n");
    return false;
}

bool KernelLink::Register()
{
    VL_LOG(L"register to widget kernel.\n");
    if (Send(kernel_command::kRegistration, 0, L"WidgetName=ActiveX") != 0) {
        VL_LOG(L"    write information to pipe failure.\n");
        VL_LOG(L"    register error.\n");
        Close();
        return false;
    }
    return true;
}

bool KernelLink::IsLinked()
{
    if (!m_read || !m_write) return false;
    if (m_host.IsKernelWindowPresent()) return true;
    Close();
    return false;
}

void KernelLink::Close()
{
    ForgetPair();
    m_read.reset();
    m_write.reset();
}

void KernelLink::ForgetPair()
{
    StopWatching();
    m_keptMessages.clear();
    ++m_pairGeneration;
}

long KernelLink::Send(int cmdId, int serialNum, const std::wstring& params)
{
    const auto bytes = MessageBytes(cmdId, serialNum, params);
    return bytes ? WriteBytes(*bytes, ::GetTickCount() + kRequestDeadline) : kNotOneMessage;
}

long KernelLink::WriteBytes(const std::string& bytes, DWORD deadline)
{
    if (!m_write) return ERROR_INVALID_HANDLE;
    bool cut = false;
    const long status = m_write->Write(bytes, deadline, cut);
    if (cut) Close();
    return status;
}

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

ExchangeResult KernelLink::Exchange(int cmdId, const std::wstring& params)
{
    // Formatted once, for every copy.
    const auto request = MessageBytes(cmdId, 0, params);
    if (!request || m_exchangeDepth >= kMaxExchangeDepth) return {ExchangeOutcome::Refused, {}};
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
            WriteBytes(*request, ::GetTickCount() + left(kRequestDeadline));
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
        return {ExchangeOutcome::Unanswered, {}};
    }
    VL_LOG(L"    succeeded.\n");
    m_host.SetPumpEnabled(true);
    return {ExchangeOutcome::Answered, std::move(*answer)};
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
