// The adapter's link to the widget kernel: its private pipe pair, the handshake through the
// main pipe that announces the pair, the registration, the link check, the request exchange
// and the reading of the kernel's own messages for the response pump. The link knows its
// owner only through IKernelLinkHost: whether the kernel's window is there, the response
// pump's switch, and the message that wakes the pump when kernel bytes arrive.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kernel_link/kernel_pipe.h"
#include "kernel_link/portable/message_text.h"
#include "support/window_message.h"

namespace vl {

class IKernelLinkHost {
public:
    virtual bool IsKernelWindowPresent() = 0;
    virtual void SetPumpEnabled(bool enabled) = 0;
    // Posted from a waiting thread when bytes arrive while the pump has nothing to read.
    virtual WindowMessage PumpWakeMessage() = 0;

protected:
    ~IKernelLinkHost() = default;
};

// What became of a request: refused before anything was written (it would not be one
// message, or too many requests wait already), written but not answered in time, or
// answered with the parameter text in `answer`.
enum class ExchangeOutcome { Refused, Unanswered, Answered };

struct ExchangeResult {
    ExchangeOutcome outcome = ExchangeOutcome::Refused;
    std::wstring answer;
};

class KernelLink {
public:
    // How long a request waits for its answer, and how often it is written in that time.
    static constexpr DWORD kRequestDeadline = 2000;
    static constexpr DWORD kResendInterval = 500;
    // Requests that wait inside the wait of another request, at most.
    static constexpr int kMaxExchangeDepth = 8;
    // Kernel messages kept for the pump while requests wait, at most.
    static constexpr std::size_t kMaxKeptMessages = 256;

    explicit KernelLink(IKernelLinkHost& host);
    ~KernelLink();
    KernelLink(const KernelLink&) = delete;
    KernelLink& operator=(const KernelLink&) = delete;

    // Opens a new pair and waits for the kernel to link to it; switches the pump on.
    bool Handshake();
    // Announces the adapter to the kernel; a failed write closes the pair.
    bool Register();
    // Both pipes open and the kernel's window there; a missing window closes the pair.
    bool IsLinked();
    // Closes the pair and drops what was kept of it. The pipe number stays.
    void Close();

    // Writes the request and waits for the message with its CmdID, running the thread's
    // window messages meanwhile. Refused while kMaxExchangeDepth requests wait.
    ExchangeResult Exchange(int cmdId, const std::wstring& params);
    // The pump's next message: the kept ones first, then the read pipe. 0 with `message`
    // set, or the read status.
    long NextMessage(KernelMessage& message);
    // After NextMessage found nothing: the pump's wake message is posted once when bytes
    // arrive (or the kernel closes its end).
    void WatchReadPipe();
    // One message on the write pipe: 0, kNotOneMessage (nothing written), or the write's
    // error. A message cut by a failed write ends the link: the kernel would read it glued
    // to the next one.
    long Send(int cmdId, int serialNum, const std::wstring& params);

    DWORD PipeId() const { return m_dwPipeID; }
    HANDLE ReadPipe() const { return m_read ? m_read->Handle() : nullptr; }
    HANDLE WritePipe() const { return m_write ? m_write->Handle() : nullptr; }
    std::size_t KeptMessages() const { return m_keptMessages.size(); }

private:
    bool OpenPair();
    bool AnnouncePair();
    bool AwaitFirstMessage();
    // Ends what belonged to the current pair: its wake, its kept messages and the waits of
    // its requests.
    void ForgetPair();
    long WriteBytes(const std::string& bytes, DWORD deadline);
    long ReadMessage(KernelMessage& message);
    void KeepMessage(KernelMessage message);
    void KeepWaitingMessages();
    void ReportDroppedMessages();
    void StopWatching();

    IKernelLinkHost& m_host;
    DWORD m_dwPipeID = 0;
    std::unique_ptr<KernelPipe> m_read;
    std::unique_ptr<KernelPipe> m_write;
    // A second handshake opens a new pair and leaves the earlier one open: the kernel may
    // still hold it. Its ends are kept here and closed with the link.
    std::vector<std::unique_ptr<KernelPipe>> m_earlierPipes;
    // Kernel messages read while a request waited for its answer, or already waiting when it
    // began; the pump handles them in arrival order before it reads the pipe again. They
    // belong to the pair they came from.
    std::deque<KernelMessage> m_keptMessages;
    std::size_t m_droppedMessages = 0;
    // Counts the pairs: a request whose pair was replaced or closed while it waited ends.
    unsigned m_pairGeneration = 0;
    int m_exchangeDepth = 0;
    // The registered wait on the read pipe that posts the pump's wake message once.
    struct Wake {
        WindowMessage message;
        std::atomic<bool> armed{false};
    };
    static void CALLBACK PostWake(void* context, BOOLEAN timedOut);
    HANDLE m_wakeWait = nullptr;
    Wake m_wake;
};

} // namespace vl
