// The link's pipe pair: the handshake through the main pipe, the registration, the link
// check, single messages and the closing of the pair.
#include "kernel_link/kernel_link.h"
#include "kernel_link/pipe_message_codec.h"
#include "kernel_link/portable/pipe_names.h"
#include "support/platform_calls.h"
#include "support/widget_log.h"

namespace vl {

namespace {

// Each phase of the handshake gives up after this long.
constexpr DWORD kPhaseLimit = 4000;
// Another adapter holds the main pipe only for the moment of its own notice.
constexpr DWORD kMainPipeRetry = 10;
constexpr int kPipeIdNotice = 1325;
constexpr int kRegistration = 3;

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
    const DWORD mainPipeDeadline = ::GetTickCount() + kPhaseLimit;
    std::unique_ptr<KernelPipe> mainPipe;
    while (!(mainPipe = KernelPipe::CreateServerEnd(kKernelMainPipeName, PIPE_ACCESS_OUTBOUND, false))) {
        if (TimeLeft(mainPipeDeadline) == 0) {
            VL_LOG(L"    create main pipe failure.\n");
            return false;
        }
        ::Sleep(kMainPipeRetry);
    }
    VL_LOG(L"    issue my pipe name to widget kernel ...\n");
    const DWORD noticeDeadline = ::GetTickCount() + kPhaseLimit;
    bool cut = false;
    if (!mainPipe->WaitForClient(noticeDeadline) ||
        mainPipe->WriteMessage(kPipeIdNotice, 0, PipeIdNotice(m_dwPipeID), noticeDeadline, cut) != 0) {
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
    if (m_read->WaitForClient(deadline) && m_write->WaitForClient(deadline)) {
        for (;;) {
            KernelMessage first;
            const long status = m_read->Read(first);
            if (status == 0) return true;
            if (status != ERROR_NO_DATA && status != kMalformedMessage) break;
            if (TimeLeft(deadline) == 0) break;
            if (status == ERROR_NO_DATA &&
                ::WaitForSingleObject(m_read->ReadyEvent(), TimeLeft(deadline)) != WAIT_OBJECT_0)
                break;
        }
    }
    VL_LOG(L"    cannot received widget kernel response.\n");
    return false;
}

bool KernelLink::Register()
{
    VL_LOG(L"register to widget kernel.\n");
    if (Send(kRegistration, 0, L"WidgetName=ActiveX") != 0) {
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
    return SendBy(cmdId, serialNum, params, ::GetTickCount() + kRequestDeadline);
}

long KernelLink::SendBy(int cmdId, int serialNum, const std::wstring& params, DWORD deadline)
{
    if (!m_write) return ERROR_INVALID_HANDLE;
    bool cut = false;
    const long status = m_write->WriteMessage(cmdId, serialNum, params, deadline, cut);
    if (cut) Close();
    return status;
}

} // namespace vl
