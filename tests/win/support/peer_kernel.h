// A kernel played by the test itself, on a thread of its own: it answers the adapter's
// handshake and records every byte the adapter writes, so tests can check the pipes
// exactly and send whatever a kernel might send.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kernel_link/portable/message_text.h"

namespace vl::test {

struct PeerOptions {
    bool sendFirstMessage = true;
    // Called on the peer's thread for every message the adapter writes on its write pipe.
    std::function<void(class PeerKernel&, const vl::KernelMessage&)> onMessage;
};

class PeerKernel {
public:
    explicit PeerKernel(PeerOptions options = {});
    ~PeerKernel();
    PeerKernel(const PeerKernel&) = delete;
    PeerKernel& operator=(const PeerKernel&) = delete;

    // Waits until the peer has read a pipe-name notice and opened the pair.
    bool WaitLinked(DWORD ms);
    std::uint32_t PipeId() const { return m_pipeId; }
    // The bytes read from the main pipe, NUL included.
    std::string NoticeBytes() const;

    // Writes raw bytes, or a formatted message with its NUL, on the adapter's read pipe.
    bool SendRaw(const std::string& bytes);
    bool Send(int cmdId, int serialNum, const std::string& params);

    // Every message read from the adapter's write pipe, without its NUL, in order.
    std::vector<std::string> Received() const;
    bool WaitReceived(std::size_t count, DWORD ms) const;

    // Closes the peer's ends of the pair: the adapter's next read finds a broken pipe.
    void ClosePair();
    // A peer that stops reading lets the adapter's write pipe fill up.
    void SetReading(bool reading) { m_reading = reading; }

private:
    void Run();

    PeerOptions m_options;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_linked{false};
    std::atomic<bool> m_reading{true};
    std::atomic<std::uint32_t> m_pipeId{0};
    mutable std::mutex m_mutex;
    std::string m_notice;
    std::vector<std::string> m_received;
    HANDLE m_toAdapter = INVALID_HANDLE_VALUE;
    HANDLE m_fromAdapter = INVALID_HANDLE_VALUE;
    std::thread m_thread;
};

} // namespace vl::test
