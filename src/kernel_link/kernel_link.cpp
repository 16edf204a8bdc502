// KernelLink: the pipe pair and its handshake through the main pipe, the registration, the
// link check and single messages; the request exchange, which waits for one answer on the
// read pipe while the thread's window messages run; and the reading of the kernel's own
// messages for the response pump, which is woken when bytes arrive.
#include "kernel_link/kernel_link.h"

#include <algorithm>
#include <utility>

#include "kernel_link/kernel_launcher.h"
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

// What a kept message takes of kMaxKeptBytes.
std::size_t KeptSize(const KernelMessage& message)
{
    return sizeof message + message.params.size() * sizeof(wchar_t);
}

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

KernelLink::KernelLink(FormTimer& pump, const CVLWidgetUtility& utility) : m_pump(pump), m_utility(utility) {}

KernelLink::~KernelLink()
{
    // The pipes close with their owners; the wait that wakes the pump goes first.
    StopWatching();
}

bool KernelLink::Handshake()
{
    VL_LOG(L"starting create pipe process.\n");
    // A pair still open from an earlier link is closed first: the kernel ends that link
    // instead of keeping it, and itself, for a page that has moved on.
    Close();
    m_droppedMessages = 0;
    m_pipeId = Platform().getTickCount();
    if (!OpenPair() || !AnnouncePair() || !AwaitFirstMessage()) {
        Close();
        return false;
    }
    VL_LOG(L"    read/write pipe create succeeded.\n");
    SetPumpEnabled(true);
    return true;
}

bool KernelLink::OpenPair()
{
    VL_LOG(L"    creating read pipe ...\n");
    m_read = KernelPipe::CreateServerEnd(ReadPipeName(m_pipeId), PIPE_ACCESS_INBOUND, true);
    if (!m_read) {
        VL_LOG(L"    create read pipe failure.\n");
        return false;
    }
    VL_LOG(L"    creating write pipe ...\n");
    m_write = KernelPipe::CreateServerEnd(WritePipeName(m_pipeId), PIPE_ACCESS_OUTBOUND, true);
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
        mainPipe->WriteMessage(kernel_command::kPipeIdNotice, 0, PipeIdNotice(m_pipeId), noticeDeadline, cut) != 0) {
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
    if (IsKernelWindowPresent()) return true;
    Close();
    return false;
}

bool KernelLink::IsKernelWindowPresent()
{
    if (m_linkedKernelWindow && ::IsWindow(m_linkedKernelWindow)) return true;
    m_linkedKernelWindow = FindKernelWindow(m_utility);
    return m_linkedKernelWindow != nullptr;
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
    m_keptBytes = 0;
    m_boundReported = false;
    ++m_pairGeneration;
}

long KernelLink::Send(int cmdId, int serialNum, const std::wstring& params)
{
    const auto bytes = MessageBytes(cmdId, serialNum, params);
    if (!bytes) return kNotOneMessage;
    const std::size_t keptBefore = m_keptMessages.size();
    const long status = WriteBytes(*bytes, ::GetTickCount() + kRequestDeadline, nullptr);
    // The pump may be watching the pipe whose bytes the write took.
    if (status == 0 && m_keptMessages.size() > keptBefore) WakePump();
    return status;
}

long KernelLink::WriteBytes(const std::string& bytes, DWORD deadline, Awaited* awaited)
{
    if (!m_write) return ERROR_INVALID_HANDLE;
    KernelPipe::WriteCompanion reading;
    if (m_read) {
        reading.event = m_read->ReadyEvent();
        reading.onSignalled = [this, awaited, deadline] {
            return ReadWaitingMessages(awaited, deadline) == ERROR_NO_DATA;
        };
    }
    bool cut = false;
    const long status = m_write->Write(bytes, deadline, cut, m_read ? &reading : nullptr);
    if (status != 0) Close();
    return status;
}

void CALLBACK KernelLink::PostWake(void* context, BOOLEAN)
{
    auto& wake = *static_cast<Wake*>(context);
    wake.armed = false;
    if (!wake.posted.exchange(true)) wake.message.Post();
}

void KernelLink::SetPumpEnabled(bool enabled)
{
    const bool wasOn = m_pump.Enabled();
    m_pump.SetEnabled(enabled);
    if (enabled && !wasOn) WakePump();
}

void KernelLink::WakePump()
{
    if (!m_wake.posted.exchange(true)) m_pump.TickMessage().Post();
}

bool KernelLink::TakePumpTick()
{
    if (m_exchangeDepth == 0) return true;
    m_wake.posted = false;
    m_pumpTickDeferred = true;
    return false;
}

long KernelLink::ReadMessage(KernelMessage& message)
{
    return m_read ? m_read->Read(message) : ERROR_INVALID_HANDLE;
}

void KernelLink::TakeMessage(KernelMessage message, Awaited* awaited)
{
    if (awaited && !awaited->answer && message.cmdId == awaited->cmdId) {
        awaited->answer = std::move(message.params);
        return;
    }
    if (m_keptBytes >= kMaxKeptBytes) {
        ++m_droppedMessages;
        return;
    }
    m_keptBytes += KeptSize(message);
    m_keptMessages.push_back(std::move(message));
}

void KernelLink::ReportDroppedMessages()
{
    if (m_droppedMessages == 0) return;
    VL_LOG(L"    %u kernel messages dropped: %u bytes were kept already.\n", static_cast<unsigned>(m_droppedMessages),
           static_cast<unsigned>(kMaxKeptBytes));
    m_droppedMessages = 0;
}

long KernelLink::ReadWaitingMessages(Awaited* awaited, DWORD deadline)
{
    for (;;) {
        if (m_keptBytes >= kMaxKeptBytes) {
            if (!std::exchange(m_boundReported, true))
                VL_LOG(L"    %u bytes of kernel messages kept: no more are read until the page takes them.\n",
                       static_cast<unsigned>(m_keptBytes));
            return ERROR_BUFFER_OVERFLOW;
        }
        // A kernel that keeps the pipe full of bytes that are no messages holds the caller no
        // longer than one that sends nothing.
        if (TimeLeft(deadline) == 0) return WAIT_TIMEOUT;
        KernelMessage message;
        const long status = ReadMessage(message);
        if (status == kMalformedMessage) continue;
        if (status != 0) return status;
        TakeMessage(std::move(message), awaited);
    }
}

ExchangeResult KernelLink::Exchange(int cmdId, const std::wstring& params)
{
    // Formatted once, for every copy.
    const auto request = MessageBytes(cmdId, 0, params);
    if (!request || m_exchangeDepth >= kMaxExchangeDepth) return {ExchangeOutcome::Refused, {}};
    // Counted, the pump leaves the read pipe to the request until it ends.
    const DepthCount depth(m_exchangeDepth);
    const unsigned pair = m_pairGeneration;
    // Time as the request counts it, on the adapter's clock.
    const DWORD start = Platform().getTickCount();
    const auto elapsed = [start] { return Platform().getTickCount() - start; };
    const auto left = [&](DWORD until) { return until > elapsed() ? until - elapsed() : 0; };
    // An answer that came after an earlier exchange gave up must not pass for the answer
    // to this request: whatever is waiting now goes to the pump.
    ReadWaitingMessages(nullptr, ::GetTickCount() + kRequestDeadline);

    Awaited awaited{cmdId, std::nullopt};
    bool lost = false;
    for (int writes = 0;;) {
        if (elapsed() >= static_cast<DWORD>(writes) * kResendInterval) {
            // A copy the kernel did not take ends the link; the request is lost when it was
            // the first.
            if (WriteBytes(*request, ::GetTickCount() + left(kRequestDeadline), &awaited) != 0 && writes == 0)
                lost = true;
            ++writes;
            if (m_pairGeneration != pair) break;
        }
        VL_LOG(L"    waiting for response ...\n");
        long status = 0;
        KernelMessage message;
        // A kernel that keeps the pipe full of other messages holds the request no longer
        // than one that stays silent; beyond the kept messages' bound its messages are
        // dropped rather than the request.
        bool late = false;
        while (!awaited.answer && ((status = ReadMessage(message)) == 0 || status == kMalformedMessage)) {
            if (status == 0) TakeMessage(std::move(message), &awaited);
            if (elapsed() >= kRequestDeadline) {
                late = true;
                break;
            }
        }
        // No answer comes through a broken pipe.
        if (awaited.answer || late || writes == kWrites || status != ERROR_NO_DATA) break;
        HANDLE ready = m_read->ReadyEvent();
        const DWORD wait = std::min(left(static_cast<DWORD>(writes) * kResendInterval), kPostedMessagesInterval);
        if (::MsgWaitForMultipleObjectsEx(1, &ready, wait, QS_ALLINPUT & ~QS_POSTMESSAGE, MWMO_INPUTAVAILABLE) !=
                WAIT_OBJECT_0 &&
            (!RunMessageQueue() || m_pairGeneration != pair))
            break; // quitting, or a call meanwhile closed or replaced the pair
    }
    ReportDroppedMessages();
    const bool tickDeferred = std::exchange(m_pumpTickDeferred, false);
    if (!awaited.answer) {
        VL_LOG(L"    failed.\n");
        SetPumpEnabled(false);
        return {lost ? ExchangeOutcome::Lost : ExchangeOutcome::Unanswered, {}};
    }
    VL_LOG(L"    succeeded.\n");
    SetPumpEnabled(true);
    // The pump looks again when messages were kept for it or its tick came meanwhile, or
    // when nothing else would wake it: neither its watch nor a wake already posted.
    if (!m_keptMessages.empty() || tickDeferred || !((m_wakeWait && m_wake.armed) || m_wake.posted)) WakePump();
    return {ExchangeOutcome::Answered, std::move(*awaited.answer)};
}

long KernelLink::NextMessage(KernelMessage& message)
{
    m_wake.posted = false;
    if (!m_keptMessages.empty()) {
        message = std::move(m_keptMessages.front());
        m_keptMessages.pop_front();
        m_keptBytes -= KeptSize(message);
        if (m_keptMessages.empty()) m_boundReported = false;
        return 0;
    }
    return ReadMessage(message);
}

void KernelLink::WatchReadPipe()
{
    if (!m_read || (m_wakeWait && m_wake.armed)) return;
    StopWatching();
    m_wake.message = m_pump.TickMessage();
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
