#include "link_server.h"

#include <algorithm>

#include "kernel_link/portable/message_text.h"
#include "kernel_link/portable/pipe_names.h"

namespace vl {

namespace {

constexpr int kPipeIdNotice = 1325;
constexpr DWORD kMainPipePollMs = 20;
// The adapter writes the notice within 100 ms of the connection; a client that gets
// nothing for much longer gives the main pipe back.
constexpr DWORD kNoticeWaitMs = 2000;

// A client end; a reading end is switched to non-blocking reads so that it can be polled.
UniqueHandle OpenPipeEnd(const std::wstring& name, DWORD access)
{
    const bool reading = (access & GENERIC_READ) != 0;
    UniqueHandle pipe(::CreateFileW(name.c_str(), access | (reading ? FILE_WRITE_ATTRIBUTES : 0), 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    if (pipe && reading && !::SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr)) pipe.reset();
    return pipe;
}

} // namespace

LinkServer::LinkServer(const KernelBehaviour& behaviour, std::wstring region, KernelStore& store,
                       HANDLE quitEvent)
    : m_behaviour(behaviour), m_region(std::move(region)), m_store(store), m_quitEvent(quitEvent)
{
}

LinkServer::~LinkServer()
{
    Stop();
}

void LinkServer::Start()
{
    m_acceptor = std::thread([this]() noexcept {
        try {
            AcceptLinks();
        } catch (...) {
            // The kernel keeps its window; no further adapter can link.
        }
        try {
            JoinLinks(false);
        } catch (...) {
            // Joining only fails for a thread that is gone already.
        }
    });
}

void LinkServer::Stop()
{
    m_stop = true;
    if (m_acceptor.joinable()) m_acceptor.join();
}

void LinkServer::AcceptLinks()
{
    while (!m_stop) {
        JoinLinks(true);
        UniqueHandle mainPipe = OpenPipeEnd(kKernelMainPipeName, GENERIC_READ);
        if (!mainPipe) {
            ::Sleep(kMainPipePollMs);
            continue;
        }
        // Counted from now, so that a last leave notice during this handshake does not end the kernel.
        ++m_openLinks;
        const auto pipeId = ReceivePipeId(mainPipe.get());
        m_mainPipeCodec.ForgetPipe(mainPipe.get());
        mainPipe.reset(); // frees the main pipe for the next adapter
        std::unique_ptr<AdapterLink> link = pipeId ? OpenLink(*pipeId) : nullptr;
        if (!link) {
            LinkEnded(std::nullopt);
            continue;
        }
        auto finished = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([this, finished, served = std::move(link)]() mutable noexcept {
            ServeLink(std::move(served));
            *finished = true;
        });
        m_links.push_back({std::move(thread), std::move(finished)});
    }
}

std::optional<std::uint32_t> LinkServer::ReceivePipeId(HANDLE mainPipe)
{
    std::vector<wchar_t> params(kPipeBufferSize);
    const DWORD start = ::GetTickCount();
    while (!m_stop && ::GetTickCount() - start < kNoticeWaitMs) {
        int cmdId = 0;
        int serialNum = 0;
        const long status = m_mainPipeCodec.ReadPipeMessage(mainPipe, cmdId, serialNum, params.data(), params.size());
        if (status == 0 && cmdId == kPipeIdNotice) {
            const std::wstring id = GetKeyValue(params.data(), L"PipeID");
            if (id.empty() || !std::all_of(id.begin(), id.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
                return std::nullopt;
            return static_cast<std::uint32_t>(ParseLeadingInteger(id));
        }
        if (status != 0 && status != ERROR_NO_DATA && status != kMalformedMessage) return std::nullopt;
        ::Sleep(kMainPipePollMs / 2);
    }
    return std::nullopt;
}

std::unique_ptr<AdapterLink> LinkServer::OpenLink(std::uint32_t pipeId)
{
    UniqueHandle toAdapter = OpenPipeEnd(ReadPipeName(pipeId), GENERIC_WRITE);
    UniqueHandle fromAdapter = OpenPipeEnd(WritePipeName(pipeId), GENERIC_READ);
    if (!toAdapter || !fromAdapter) return nullptr;
    return std::make_unique<AdapterLink>(std::move(toAdapter), std::move(fromAdapter), m_behaviour, m_region,
                                         m_store);
}

void LinkServer::ServeLink(std::unique_ptr<AdapterLink> link) noexcept
{
    LinkEnd end = LinkEnd::Broken;
    try {
        end = link->Serve(m_stop);
    } catch (...) {
        // Counted as a link whose adapter went away.
    }
    link.reset(); // the adapter sees the pipes break at once
    LinkEnded(end);
}

void LinkServer::LinkEnded(std::optional<LinkEnd> end) noexcept
{
    if (end) m_lastEndWasLeave = *end == LinkEnd::Left;
    if (--m_openLinks == 0 && m_lastEndWasLeave && !m_behaviour.stayAfterLeave) ::SetEvent(m_quitEvent);
}

void LinkServer::JoinLinks(bool finishedOnly)
{
    for (auto it = m_links.begin(); it != m_links.end();) {
        if (finishedOnly && !*it->finished) {
            ++it;
            continue;
        }
        it->thread.join();
        it = m_links.erase(it);
    }
}

} // namespace vl
