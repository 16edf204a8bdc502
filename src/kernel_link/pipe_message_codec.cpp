#include "kernel_link/pipe_message_codec.h"

#include <algorithm>
#include <cwchar>

#include "support/ansi_text.h"

namespace vl {

HANDLE CreateKernelPipe(const std::wstring& name, DWORD openMode)
{
    return ::CreateNamedPipeW(name.c_str(), openMode, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT, 1,
                              kPipeBufferSize, kPipeBufferSize, 0, nullptr);
}

long DecodeKernelMessage(const std::string& ansiText, KernelMessage& message)
{
    auto parsed = ParseKernelMessage(AnsiToWide(ansiText));
    if (!parsed) return kMalformedMessage;
    message = std::move(*parsed);
    return 0;
}

long CVLPipeMessageCodec::WritePipeMessage(HANDLE pipe, int cmdId, int serialNum, const std::wstring& params)
{
    const auto text = FormatKernelMessage(cmdId, serialNum, WideToAnsi(params));
    if (!text) return ERROR_INSUFFICIENT_BUFFER;
    DWORD written = 0;
    // The NUL that ends the message is written with it.
    if (!::WriteFile(pipe, text->c_str(), static_cast<DWORD>(text->size() + 1), &written, nullptr))
        return static_cast<long>(::GetLastError());
    return 0;
}

long CVLPipeMessageCodec::ReadPipeMessage(HANDLE pipe, int& cmdId, int& serialNum, wchar_t* params,
                                          std::size_t capacity)
{
    if (params && capacity) std::wmemset(params, L'\0', capacity);
    MessageFramer& framer = m_pending[pipe];
    std::optional<std::string> text = framer.Next();
    if (!text) {
        char buffer[kPipeBufferSize];
        DWORD read = 0;
        if (!::ReadFile(pipe, buffer, sizeof buffer, &read, nullptr)) {
            const long error = static_cast<long>(::GetLastError());
            if (framer.Empty()) m_pending.erase(pipe);
            return error;
        }
        framer.Append(buffer, read);
        text = framer.Next();
        if (!text) return ERROR_NO_DATA;
    }
    KernelMessage message;
    if (DecodeKernelMessage(*text, message) != 0) return kMalformedMessage;
    cmdId = message.cmdId;
    serialNum = message.serialNum;
    if (params && capacity) {
        const std::size_t count = std::min(message.params.size(), capacity - 1);
        std::wmemcpy(params, message.params.data(), count);
    }
    return 0;
}

void CVLPipeMessageCodec::ForgetPipe(HANDLE pipe)
{
    m_pending.erase(pipe);
}

} // namespace vl
