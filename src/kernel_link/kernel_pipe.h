// One end of a kernel pipe opened for overlapped I/O, so that the thread can wait on it
// instead of polling: the adapter's private server ends, and the stand-in kernel's client
// ends. While no whole message is framed, a read of up to one pipe buffer is outstanding;
// it completes when bytes arrive or the other end closes, signals ReadyEvent and leaves the
// bytes in the pipe object's buffer, from where they go into the framer: one call of the
// pipe per arrival, and the waiting thread needs nothing else.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kernel_link/portable/message_text.h"
#include "support/win_handles.h"

namespace vl {

// Read status of bytes that held no CmdID and SerialNum: they are dropped.
inline constexpr long kMalformedMessage = -1;
// Write status of a message that would not reach the other end as one whole message: longer
// than a message may be, with a NUL in its parameters, which would end it early and let
// the rest pass as a message of its own, or with text the ANSI code page cannot carry
// exactly, which would reach the other end changed. Nothing is written.
inline constexpr long kNotOneMessage = ERROR_INSUFFICIENT_BUFFER;

// A message as it goes on a pipe: its text in the ANSI code page and the NUL that ends it;
// nothing when it would not be one message or its parameters have no exact form in the
// code page.
std::optional<std::string> MessageBytes(int cmdId, int serialNum, std::wstring_view params);

class KernelPipe {
public:
    // A server end of the adapter: byte stream, one instance, 4 KiB buffers, only the
    // current user, the administrators and the system may open it, no remote client;
    // `firstInstance` fails the creation when the name exists already. Null on failure.
    static std::unique_ptr<KernelPipe> CreateServerEnd(const std::wstring& name, DWORD openMode, bool firstInstance);
    // A client end of an existing pipe (GENERIC_READ or GENERIC_WRITE). Null on failure.
    static std::unique_ptr<KernelPipe> OpenClientEnd(const std::wstring& name, DWORD access);

    explicit KernelPipe(UniqueHandle handle);
    // Outstanding I/O is cancelled and waited for before the buffers go.
    ~KernelPipe();
    KernelPipe(const KernelPipe&) = delete;
    KernelPipe& operator=(const KernelPipe&) = delete;

    HANDLE Handle() const { return m_handle.get(); }

    // Server end: waits until a client has opened the pipe, at most until the tick count
    // `deadline`. A client that opened and closed again counts as connected: its end shows
    // up as a broken pipe on the first read or write.
    bool WaitForClient(DWORD deadline);

    // Signalled while bytes, or the end of the pipe, wait to be read; valid after a Read
    // that returned ERROR_NO_DATA.
    HANDLE ReadyEvent() const { return m_readyEvent.get(); }

    // The next message: 0 with `message` set; ERROR_NO_DATA when no whole message waits;
    // the error code of the pipe (109 broken, 536 not connected); or kMalformedMessage.
    // Bytes that end a read without a NUL, with nothing more waiting in the pipe, are one
    // message; when more is waiting they are joined with it.
    long Read(KernelMessage& message);
    // The next message, waiting on ReadyEvent until the tick count `deadline`: as Read, with
    // malformed bytes passed over and WAIT_TIMEOUT once the deadline has passed.
    long ReadBy(KernelMessage& message, DWORD deadline);

    // What a write does while it waits for the other end to take the bytes: each time `event`
    // is signalled, `onSignalled` runs; it answers false when the event is not to be waited
    // on any more (it would stay signalled).
    struct WriteCompanion {
        HANDLE event = nullptr;
        std::function<bool()> onSignalled;
    };

    // Writes `bytes` whole, waiting at most until `deadline`: 0 or the error code (258 when
    // the deadline passed). `cut` tells that part of the bytes went out before the write
    // failed: the stream then holds half a message and must not be used any more.
    long Write(const std::string& bytes, DWORD deadline, bool& cut, const WriteCompanion* companion = nullptr);
    // Formats and writes a message with its NUL; kNotOneMessage when it would not be one.
    long WriteMessage(int cmdId, int serialNum, const std::wstring& params, DWORD deadline, bool& cut);

private:
    // Starts the read into m_buffer; 0 when it is outstanding or done at once.
    long StartRead();
    // Runs one overlapped operation to its end, cancelling it at the tick count `deadline`.
    bool Complete(BOOL started, OVERLAPPED& overlapped, DWORD deadline, DWORD& transferred, long& error,
                  const WriteCompanion* companion = nullptr);

    UniqueHandle m_handle;
    UniqueHandle m_readyEvent;
    UniqueHandle m_ioEvent;
    OVERLAPPED m_read{};
    bool m_reading = false;
    MessageFramer m_framer;
    char m_buffer[kPipeBufferSize];
};

// The server end of the kernel's main pipe, made once no other adapter holds it, at
// latest by the tick count `deadline`; null after that.
std::unique_ptr<KernelPipe> CreateMainPipe(DWORD deadline);

// Milliseconds left until the tick count `deadline`; 0 once it has passed.
DWORD TimeLeft(DWORD deadline);

} // namespace vl
