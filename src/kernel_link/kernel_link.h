// The adapter's link to the widget kernel: its private pipe pair, the handshake through the
// main pipe that announces the pair, the registration, the link check, the request exchange
// and the reading of the kernel's own messages for the response pump. The link switches
// the pump's timer, which its owner runs, and wakes it when kernel bytes arrive; it finds
// the kernel's window through the utility object.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "kernel_link/kernel_pipe.h"
#include "kernel_link/portable/message_text.h"
#include "support/form_timer.h"
#include "support/widget_utility.h"
#include "support/window_message.h"

namespace vl {

// What became of a request: refused before anything was written (it would not be one
// message, or too many requests wait already), not written whole (the link has ended),
// written but not answered in time, or answered with the parameter text in `answer`.
enum class ExchangeOutcome { Refused, Lost, Unanswered, Answered };

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
    // While a request waits, the thread's input, painting, timers and sent messages run as
    // they come; posted messages at least this often. The pump's own wake stays in the
    // queue through a quick request instead of being taken up and posted again by each.
    static constexpr DWORD kPostedMessagesInterval = 50;
    // The kernel's messages kept for the pump, at most, counted as the memory they take:
    // enough for every echo of a page's longest loop, never unbounded. At the bound nothing
    // more is read while the control writes (the kernel waits, and a write that cannot go
    // out in time fails); a request waiting for its answer drops what it reads beyond it.
    static constexpr std::size_t kMaxKeptBytes = 4 * 1024 * 1024;

    // `pump` is the response pump's timer; its tick message is the pump's wake, posted from
    // a waiting thread when bytes arrive while the pump has nothing to read.
    KernelLink(FormTimer& pump, const CVLWidgetUtility& utility);
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
    // The response pump's switch: on after a handshake and an answered request, off after
    // a request that went unanswered; the owner switches it off when the link ends.
    // Switched on, the pump looks at once: messages may be waiting already.
    void SetPumpEnabled(bool enabled);
    bool IsPumpOn() const { return m_pump.Enabled(); }
    // Each tick of the pump first: false while a request waits, whose answer the pump must
    // not take; the pump looks again when the request has ended.
    bool TakePumpTick();
    // Asks the pump to look now, unless a wake is on its way already.
    void WakePump();
    // The pump's next message: the kept ones first, then the read pipe. 0 with `message`
    // set, or the read status.
    long NextMessage(KernelMessage& message);
    // After NextMessage found nothing: the pump's wake message is posted once when bytes
    // arrive (or the kernel closes its end).
    void WatchReadPipe();
    // One message on the write pipe: 0, kNotOneMessage (nothing written), or the write's
    // error, after which the link has ended: a message cut by a failed write would reach the
    // kernel glued to the next one, and a kernel that takes nothing for kRequestDeadline
    // while the control reads everything it sends is stuck. While the write waits, the
    // kernel's messages are read into the kept ones, so that a kernel blocked on writing to
    // the control reads on.
    long Send(int cmdId, int serialNum, const std::wstring& params);

    DWORD PipeId() const { return m_pipeId; }

    // What tests look at of the pair and the kept messages.
    HANDLE ReadPipeForTesting() const { return m_read ? m_read->Handle() : nullptr; }
    HANDLE WritePipeForTesting() const { return m_write ? m_write->Handle() : nullptr; }
    std::size_t KeptMessagesForTesting() const { return m_keptMessages.size(); }
    std::size_t KeptBytesForTesting() const { return m_keptBytes; }

private:
    // A request's answer, taken from the kernel's messages as they are read.
    struct Awaited {
        int cmdId = 0;
        std::optional<std::wstring> answer;
    };

    // Every request checks the link: the window found before, while it exists, spares a
    // search through every top-level window of the desktop.
    bool IsKernelWindowPresent();
    bool OpenPair();
    bool AnnouncePair();
    bool AwaitFirstMessage();
    // Ends what belonged to the current pair: its wake, its kept messages and the waits of
    // its requests.
    void ForgetPair();
    // Writes while reading what the kernel sends; a failed write closes the pair.
    long WriteBytes(const std::string& bytes, DWORD deadline, Awaited* awaited);
    long ReadMessage(KernelMessage& message);
    // The answer to `awaited`, or one more kept message: dropped and counted when the kept
    // ones are at their bound.
    void TakeMessage(KernelMessage message, Awaited* awaited);
    // Reads what waits in the read pipe, until nothing does, the kept messages reach their
    // bound or the tick count `deadline` passes: the read status (ERROR_NO_DATA when
    // everything waiting was taken), ERROR_BUFFER_OVERFLOW at the bound, where the rest
    // stays in the pipe, or WAIT_TIMEOUT.
    long ReadWaitingMessages(Awaited* awaited, DWORD deadline);
    void ReportDroppedMessages();
    void StopWatching();

    FormTimer& m_pump;
    const CVLWidgetUtility& m_utility;
    // The kernel's window as the link check found it last.
    HWND m_linkedKernelWindow = nullptr;
    DWORD m_pipeId = 0;
    std::unique_ptr<KernelPipe> m_read;
    std::unique_ptr<KernelPipe> m_write;
    // Kernel messages read while a request waited for its answer, already waiting when it
    // began, or read while a write waited; the pump handles them in arrival order before
    // it reads the pipe again. They belong to the pair they came from.
    std::deque<KernelMessage> m_keptMessages;
    std::size_t m_keptBytes = 0;
    std::size_t m_droppedMessages = 0;
    // The bound stopped the reading at least once since the pump last emptied the kept messages.
    bool m_boundReported = false;
    // Counts the pairs: a request whose pair was replaced or closed while it waited ends.
    unsigned m_pairGeneration = 0;
    int m_exchangeDepth = 0;
    // A tick of the pump came while a request waited.
    bool m_pumpTickDeferred = false;
    // The registered wait on the read pipe that posts the pump's wake message once, and
    // whether a wake is posted and the pump has not looked since.
    struct Wake {
        WindowMessage message;
        std::atomic<bool> armed{false};
        std::atomic<bool> posted{false};
    };
    static void CALLBACK PostWake(void* context, BOOLEAN timedOut);
    HANDLE m_wakeWait = nullptr;
    Wake m_wake;
};

} // namespace vl
