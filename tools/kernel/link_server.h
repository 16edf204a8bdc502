// Offers the kernel to every adapter that opens the main pipe, and serves each link on a
// thread of its own so that a slow or silent adapter holds up no other.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "adapter_link.h"
#include "kernel_behaviour.h"
#include "kernel_store.h"
#include "support/win_handles.h"

namespace vl {

class LinkServer {
public:
    // `quitEvent` is set after the leave notice of the last open link.
    LinkServer(const KernelBehaviour& behaviour, std::wstring region, KernelStore& store, HANDLE quitEvent);
    ~LinkServer();
    LinkServer(const LinkServer&) = delete;
    LinkServer& operator=(const LinkServer&) = delete;

    void Start();
    // Ends every link and waits for their threads.
    void Stop();

private:
    struct LinkThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    void AcceptLinks();
    std::optional<std::uint32_t> ReceivePipeId(KernelPipe& mainPipe);
    std::unique_ptr<AdapterLink> OpenLink(std::uint32_t pipeId);
    void ServeLink(std::unique_ptr<AdapterLink> link) noexcept;
    // Counts a link, or with nothing a handshake that came to nothing, as ended; the kernel
    // ends when no link is left and the last one ended with the leave notice.
    void LinkEnded(std::optional<LinkEnd> end) noexcept;
    void JoinLinks(bool finishedOnly);

    const KernelBehaviour& m_behaviour;
    std::wstring m_region;
    KernelStore& m_store;
    HANDLE m_quitEvent;
    UniqueHandle m_stopEvent;
    std::thread m_acceptor;
    std::vector<LinkThread> m_links; // touched by the acceptor thread only
    std::atomic<int> m_openLinks{0}; // handshakes under way included
    std::atomic<bool> m_lastEndWasLeave{false};
};

} // namespace vl
