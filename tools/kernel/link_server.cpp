#include "link_server.h"

#include <algorithm>

#include "kernel_link/kernel_pipe.h"
#include "kernel_link/portable/kernel_commands.h"
#include "kernel_link/portable/message_text.h"
#include "kernel_link/portable/pipe_names.h"
#include "support/portable/ascii.h"

namespace vl {

namespace {

// Nothing tells a client that a pipe has been created: the main pipe is looked for this often.
constexpr DWORD kMainPipePollMs = 2;
// The adapter writes the notice as soon as the kernel has opened the main pipe; a client
// that gets nothing for much longer gives the main pipe back.
constexpr DWORD kNoticeWaitMs = 2000;

} // namespace

LinkServer::LinkServer(const KernelBehaviour& behaviour, std::wstring region, KernelStore& store,
                       HANDLE quitEvent)
    : m_behaviour(behaviour), m_region(std::move(region)), m_store(store), m_quitEvent(quitEvent),
      m_stopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
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
    ::SetEvent(m_stopEvent.get());
    if (m_acceptor.joinable()) m_acceptor.join();
}

void LinkServer::AcceptLinks()
{
    while (::WaitForSingleObject(m_stopEvent.get(), 0) == WAIT_TIMEOUT) {
        JoinLinks(true);
        auto mainPipe = KernelPipe::OpenClientEnd(kKernelMainPipeName, GENERIC_READ);
        if (!mainPipe) {
            ::WaitForSingleObject(m_stopEvent.get(), kMainPipePollMs);
            continue;
        }
        // Counted from now, so that a last leave notice during this handshake does not end the kernel.
        ++m_openLinks;
        const auto pipeId = ReceivePipeId(*mainPipe);
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

std::optional<std::uint32_t> LinkServer::ReceivePipeId(KernelPipe& mainPipe)
{
    const DWORD deadline = ::GetTickCount() + kNoticeWaitMs;
    for (;;) {
        KernelMessage message;
        const long status = mainPipe.Read(message);
        if (status == 0 && message.cmdId == kernel_command::kPipeIdNotice) {
            const std::wstring id = GetKeyValue(message.params, L"PipeID");
            if (id.empty() || !std::all_of(id.begin(), id.end(), vl::IsAsciiDigit<wchar_t>))
                return std::nullopt;
            return static_cast<std::uint32_t>(ParseLeadingInteger(id));
        }
        if (status != 0 && status != ERROR_NO_DATA && status != kMalformedMessage) return std::nullopt;
        // A client that keeps sending other bytes gets no longer than one that sends none.
        if (TimeLeft(deadline) == 0) return std::nullopt;
        const HANDLE events[] = {mainPipe.ReadyEvent(), m_stopEvent.get()};
        if (status == ERROR_NO_DATA &&
            ::WaitForMultipleObjects(2, events, FALSE, TimeLeft(deadline)) != WAIT_OBJECT_0)
            return std::nullopt;
    }
}

std::unique_ptr<AdapterLink> LinkServer::OpenLink(std::uint32_t pipeId)
{
    auto toAdapter = KernelPipe::OpenClientEnd(ReadPipeName(pipeId), GENERIC_WRITE);
    auto fromAdapter = KernelPipe::OpenClientEnd(WritePipeName(pipeId), GENERIC_READ);
    if (!toAdapter || !fromAdapter) return nullptr;
    return std::make_unique<AdapterLink>(std::move(toAdapter), std::move(fromAdapter), m_behaviour, m_region,
                                         m_store);
}

void LinkServer::ServeLink(std::unique_ptr<AdapterLink> link) noexcept
{
    LinkEnd end = LinkEnd::Broken;
    try {
        end = link->Serve(m_stopEvent.get());
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
