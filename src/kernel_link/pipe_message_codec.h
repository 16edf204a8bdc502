// The adapter's reader and writer of kernel messages on its non-blocking byte pipes.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "kernel_link/portable/message_text.h"

namespace vl {

// Read result for bytes that did not hold a CmdID and a SerialNum.
inline constexpr long kMalformedMessage = -1;

// The message in `ansiText` (without its NUL): 0 with `message` set, or kMalformedMessage.
long DecodeKernelMessage(const std::string& ansiText, KernelMessage& message);

// One server end of a kernel pipe: byte stream, non-blocking, one instance, 4 KiB buffers.
// The invalid-handle value on failure.
HANDLE CreateKernelPipe(const std::wstring& name, DWORD openMode);

class CVLPipeMessageCodec {
public:
    // 0, or the system error code of the write. A message longer than the limit is not
    // written at all: ERROR_INSUFFICIENT_BUFFER.
    long WritePipeMessage(HANDLE pipe, int cmdId, int serialNum, const std::wstring& params);

    // 0 with the fields set; the error code of the read (232 nothing waiting, 536 not
    // connected, 109 broken, 6 no pipe); or kMalformedMessage. `params` is zero-filled
    // first and always terminated. Several messages that arrive in one read come back
    // one per call; a message whose NUL has not arrived yet reads as 232.
    long ReadPipeMessage(HANDLE pipe, int& cmdId, int& serialNum, wchar_t* params, std::size_t capacity);

    // Drops what was kept from a pipe that is being closed (its handle value may be reused).
    void ForgetPipe(HANDLE pipe);

private:
    std::map<HANDLE, MessageFramer> m_pending;
};

} // namespace vl
