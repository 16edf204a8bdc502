// The response pump: every 100 ms one kernel message becomes a page event, is consumed,
// or ends the link; and the request exchange, which waits for one answer on the same pipe.
#include "adapter/VLServiceAdapterImpl.h"
#include "support/widget_log.h"

namespace {

constexpr int kExchangePasses = 20;
constexpr int kResendEvery = 5;
constexpr DWORD kPassPause = 100;
// Bounds of what is kept for the pump: a kernel that floods the pipe cannot stall the page
// or grow the adapter without limit.
constexpr int kMaxReadsBeforeRequest = 64;
constexpr std::size_t kMaxKeptMessages = 256;

constexpr int kCloseNotice = 167;

void RunMessageQueue()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

} // namespace

void TVLServiceAdapterXImpl::SetReadPipeTimer(bool enabled)
{
    if (m_pForm) m_pForm->m_ReadPipeTimer.SetEnabled(enabled);
}

void TVLServiceAdapterXImpl::OnReadPipeTimer()
{
    // A page handler may release the control from inside the event.
    const auto keepAlive = KeepAlive();
    vl::KernelMessage message;
    long status = 0;
    if (!m_keptMessages.empty()) {
        message = std::move(m_keptMessages.front());
        m_keptMessages.pop_front();
    } else {
        status = ReadKernelMessage(message);
    }
    if (status == 0) {
        OnKernelMessage(message.cmdId, message.serialNum, message.params);
    } else if (status == ERROR_BROKEN_PIPE) {
        ClosePipes();
        SetReadPipeTimer(false);
    }
}

void TVLServiceAdapterXImpl::OnKernelMessage(int cmdId, int serialNum, const std::wstring& params)
{
    switch (cmdId) {
    case kCloseNotice:
        SetReadPipeTimer(false);
        m_Codec.WritePipeMessage(m_hWritePipe.get(), kCloseNotice, 0, L"NON");
        ClosePipes();
        return;
    case 3:
    case 5:
    case 6:
    case 166:
        return;
    default:
        if (params.empty()) return;
        vl::UniqueBstr text(params);
        Fire_OnResult(static_cast<ULONG>(cmdId), static_cast<ULONG>(serialNum), text.get());
    }
}

long TVLServiceAdapterXImpl::ReadKernelMessage(vl::KernelMessage& message)
{
    wchar_t params[vl::kPipeBufferSize];
    const long status =
        m_Codec.ReadPipeMessage(m_hReadPipe.get(), message.cmdId, message.serialNum, params, vl::kPipeBufferSize);
    if (status == 0) message.params = params;
    return status;
}

void TVLServiceAdapterXImpl::KeepMessage(vl::KernelMessage message)
{
    if (m_keptMessages.size() < kMaxKeptMessages) m_keptMessages.push_back(std::move(message));
}

void TVLServiceAdapterXImpl::KeepWaitingMessages()
{
    for (int i = 0; i < kMaxReadsBeforeRequest && m_keptMessages.size() < kMaxKeptMessages; ++i) {
        vl::KernelMessage message;
        const long status = ReadKernelMessage(message);
        if (status == vl::kMalformedMessage) continue;
        if (status != 0) return;
        KeepMessage(std::move(message));
    }
}

std::optional<std::wstring> TVLServiceAdapterXImpl::ExchangeRequest(int cmdId, const std::wstring& params)
{
    SetReadPipeTimer(false);
    // An answer that came after an earlier exchange gave up must not pass for the answer
    // to this request: whatever is waiting now goes to the pump.
    KeepWaitingMessages();
    m_Codec.WritePipeMessage(m_hWritePipe.get(), cmdId, 0, params);

    std::optional<std::wstring> answer;
    for (int pass = 0; pass < kExchangePasses; ++pass) {
        VL_LOG(L"    waiting for response ...\n");
        vl::KernelMessage message;
        const long status = ReadKernelMessage(message);
        if (status == 0 && message.cmdId == cmdId) {
            answer = std::move(message.params);
            break;
        }
        if (status == 0) KeepMessage(std::move(message));
        if ((pass + 1) % kResendEvery == 0) m_Codec.WritePipeMessage(m_hWritePipe.get(), cmdId, 0, params);
        RunMessageQueue();
        ::Sleep(kPassPause);
    }
    if (!answer) {
        VL_LOG(L"    failed.\n");
        return std::nullopt;
    }
    VL_LOG(L"    succeeded.\n");
    SetReadPipeTimer(true);
    return answer;
}
