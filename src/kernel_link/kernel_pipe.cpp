#include "kernel_link/kernel_pipe.h"

#include <algorithm>

#include "kernel_link/portable/pipe_names.h"
#include "support/ansi_text.h"
#include "support/user_and_administrators_security.h"

namespace vl {

namespace {

UniqueHandle ManualResetEvent()
{
    return UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

// Bytes waiting in the pipe, or nothing when the pipe cannot be looked at (broken).
std::optional<DWORD> WaitingBytes(HANDLE pipe, long& error)
{
    DWORD available = 0;
    if (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return available;
    error = static_cast<long>(::GetLastError());
    return std::nullopt;
}

// Waits until `completion` is signalled, serving the companion meanwhile; false once the
// deadline has passed.
bool AwaitCompletion(HANDLE completion, DWORD deadline, const KernelPipe::WriteCompanion* companion)
{
    bool served = companion != nullptr;
    for (;;) {
        const HANDLE events[] = {completion, served ? companion->event : nullptr};
        // Both signalled: the completion comes first.
        const DWORD waited = ::WaitForMultipleObjects(served ? 2 : 1, events, FALSE, TimeLeft(deadline));
        if (waited == WAIT_OBJECT_0) return true;
        if (waited != WAIT_OBJECT_0 + 1) return false;
        served = companion->onSignalled();
    }
}

} // namespace

std::optional<std::string> MessageBytes(int cmdId, int serialNum, std::wstring_view params)
{
    const auto ansiParams = ExactAnsi(params);
    if (!ansiParams) return std::nullopt;
    auto text = FormatKernelMessage(cmdId, serialNum, *ansiParams);
    if (text) text->push_back('\0');
    return text;
}

DWORD TimeLeft(DWORD deadline)
{
    const auto left = static_cast<LONG>(deadline - ::GetTickCount());
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

std::unique_ptr<KernelPipe> KernelPipe::CreateServerEnd(const std::wstring& name, DWORD openMode, bool firstInstance)
{
    // Made once: the user's SID and the access list stay the same for the process, and
    // building them costs more than creating the pipe. What could not be made then may be
    // made now.
    static UserAndAdministratorsSecurity shared;
    std::optional<UserAndAdministratorsSecurity> fresh;
    SECURITY_ATTRIBUTES* security = shared.Attributes();
    if (!security) security = fresh.emplace().Attributes();
    if (!security) return nullptr;
    const DWORD flags = FILE_FLAG_OVERLAPPED | (firstInstance ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    UniqueHandle pipe(::CreateNamedPipeW(name.c_str(), openMode | flags,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                         1, kPipeBufferSize, kPipeBufferSize, 0, security));
    if (!pipe) return nullptr;
    return std::make_unique<KernelPipe>(std::move(pipe));
}

std::unique_ptr<KernelPipe> CreateMainPipe(DWORD deadline)
{
    // Another adapter holds the main pipe only for the moment of its own notice.
    constexpr DWORD kRetryMs = 10;
    for (;;) {
        if (auto pipe = KernelPipe::CreateServerEnd(kKernelMainPipeName, PIPE_ACCESS_OUTBOUND, false)) return pipe;
        if (TimeLeft(deadline) == 0) return nullptr;
        ::Sleep(kRetryMs);
    }
}

std::unique_ptr<KernelPipe> KernelPipe::OpenClientEnd(const std::wstring& name, DWORD access)
{
    // Reading the pipe's state (PeekNamedPipe) needs the attributes as well.
    UniqueHandle pipe(::CreateFileW(name.c_str(), access | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
    if (!pipe) return nullptr;
    return std::make_unique<KernelPipe>(std::move(pipe));
}

KernelPipe::KernelPipe(UniqueHandle handle)
    : m_handle(std::move(handle)), m_readyEvent(ManualResetEvent()), m_ioEvent(ManualResetEvent())
{
}

KernelPipe::~KernelPipe()
{
    if (m_reading) {
        ::CancelIoEx(m_handle.get(), &m_read);
        DWORD ignored = 0;
        ::GetOverlappedResult(m_handle.get(), &m_read, &ignored, TRUE);
    }
}

bool KernelPipe::Complete(BOOL started, OVERLAPPED& overlapped, DWORD deadline, DWORD& transferred, long& error,
                          const WriteCompanion* companion)
{
    if (!started) {
        error = static_cast<long>(::GetLastError());
        if (error != ERROR_IO_PENDING) return false;
        if (!AwaitCompletion(overlapped.hEvent, deadline, companion)) ::CancelIoEx(m_handle.get(), &overlapped);
    }
    if (::GetOverlappedResult(m_handle.get(), &overlapped, &transferred, TRUE)) return true;
    error = static_cast<long>(::GetLastError());
    if (error == ERROR_OPERATION_ABORTED) error = WAIT_TIMEOUT;
    return false;
}

bool KernelPipe::WaitForClient(DWORD deadline)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = m_ioEvent.get();
    ::ResetEvent(overlapped.hEvent);
    DWORD ignored = 0;
    long error = 0;
    if (Complete(::ConnectNamedPipe(m_handle.get(), &overlapped), overlapped, deadline, ignored, error))
        return true;
    return error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA;
}

long KernelPipe::StartRead()
{
    // Starting a read resets its event.
    m_read = OVERLAPPED{};
    m_read.hEvent = m_readyEvent.get();
    if (!::ReadFile(m_handle.get(), m_buffer, sizeof m_buffer, nullptr, &m_read)) {
        const auto error = static_cast<long>(::GetLastError());
        if (error != ERROR_IO_PENDING) return error;
    }
    m_reading = true;
    return 0;
}

long KernelPipe::Read(KernelMessage& message)
{
    for (;;) {
        if (auto text = m_framer.Next()) {
            auto parsed = ParseKernelMessage(AnsiToWide(*text));
            if (!parsed) return kMalformedMessage;
            message = std::move(*parsed);
            return 0;
        }
        if (!m_reading) {
            if (const long error = StartRead()) return error;
        }
        if (!HasOverlappedIoCompleted(&m_read)) return ERROR_NO_DATA;
        m_reading = false;
        DWORD read = 0;
        if (!::GetOverlappedResult(m_handle.get(), &m_read, &read, FALSE)) return static_cast<long>(::GetLastError());
        m_framer.Append(m_buffer, read);
        if (read > 0 && m_buffer[read - 1] != '\0') {
            long error = 0;
            const auto more = WaitingBytes(m_handle.get(), error);
            if (more && *more == 0) m_framer.Append("", 1);
        }
    }
}

long KernelPipe::ReadBy(KernelMessage& message, DWORD deadline)
{
    for (;;) {
        const long status = Read(message);
        if (status != ERROR_NO_DATA && status != kMalformedMessage) return status;
        // A peer that keeps sending malformed bytes gets no longer than one that sends none.
        if (TimeLeft(deadline) == 0) return WAIT_TIMEOUT;
        if (status == ERROR_NO_DATA && ::WaitForSingleObject(m_readyEvent.get(), TimeLeft(deadline)) != WAIT_OBJECT_0)
            return WAIT_TIMEOUT;
    }
}

long KernelPipe::Write(const std::string& bytes, DWORD deadline, bool& cut, const WriteCompanion* companion)
{
    cut = false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_ioEvent.get();
        DWORD written = 0;
        long error = 0;
        const bool completed =
            Complete(::WriteFile(m_handle.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                                 nullptr, &overlapped),
                     overlapped, deadline, written, error, companion);
        done += written;
        if (!completed || (written == 0 && TimeLeft(deadline) == 0)) {
            cut = done > 0 && done < bytes.size();
            return completed ? WAIT_TIMEOUT : error;
        }
    }
    return 0;
}

long KernelPipe::WriteMessage(int cmdId, int serialNum, const std::wstring& params, DWORD deadline, bool& cut)
{
    cut = false;
    const auto bytes = MessageBytes(cmdId, serialNum, params);
    return bytes ? Write(*bytes, deadline, cut) : kNotOneMessage;
}

} // namespace vl
