#include "stand_in_kernel.h"

#include <algorithm>
#include <vector>

#include "kernel_link/portable/pipe_names.h"
#include "support/product_registry.h"

namespace vl::test {

namespace {

constexpr int kAttempts = 40;
constexpr DWORD kAttemptPauseMs = 100;
constexpr int kPipeIdNotice = 1325;

// Runs `attempt` until it returns true, at most kAttempts times with a pause after each failure.
template <typename Attempt>
bool Retry(Attempt attempt)
{
    for (int i = 0; i < kAttempts; ++i) {
        if (attempt()) return true;
        ::Sleep(kAttemptPauseMs);
    }
    return false;
}

} // namespace

ChildProcess::ChildProcess(const std::wstring& exe, const std::wstring& parameters,
                           const EnvironmentOverrides& environment)
{
    for (const auto& [name, value] : environment)
        ::SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    std::wstring commandLine = L"\"" + exe + L"\" " + parameters;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &info)) {
        ::CloseHandle(info.hThread);
        m_process.reset(info.hProcess);
        m_id = info.dwProcessId;
    }
    for (const auto& [name, value] : environment) ::SetEnvironmentVariableW(name.c_str(), nullptr);
}

ChildProcess::~ChildProcess()
{
    if (!m_process || WaitForExit(0)) return;
    ::TerminateProcess(m_process.get(), 1);
    ::WaitForSingleObject(m_process.get(), 5000);
    if (ReadProductInteger(L"PID") == static_cast<int>(m_id)) DeleteProductValue(L"PID");
}

bool ChildProcess::WaitForExit(DWORD ms) const
{
    return m_process && ::WaitForSingleObject(m_process.get(), ms) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_process) ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}

HWND WaitForKernelWindow(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (HWND window = ::FindWindowW(L"TMainForm", L"VLWKernel")) return window;
        if (::GetTickCount() - start >= ms) return nullptr;
        ::Sleep(10);
    }
}

std::uint32_t NewPipeId()
{
    static std::uint32_t last = 0;
    last = std::max(last + 1, static_cast<std::uint32_t>(::GetTickCount()));
    return last;
}

bool KernelClient::Open(std::uint32_t pipeId)
{
    Close();
    m_readPipe.reset(CreateKernelPipe(ReadPipeName(pipeId), PIPE_ACCESS_INBOUND));
    m_writePipe.reset(CreateKernelPipe(WritePipeName(pipeId), PIPE_ACCESS_OUTBOUND));
    if (!m_readPipe || !m_writePipe) return Fail("the pair could not be created");
    UniqueHandle mainPipe;
    if (!Retry([&] {
            mainPipe.reset(CreateKernelPipe(kKernelMainPipeName, PIPE_ACCESS_OUTBOUND));
            return mainPipe.valid();
        }))
        return Fail("the main pipe could not be created");
    const bool noticeWritten =
        Retry([&] { return m_codec.WritePipeMessage(mainPipe.get(), kPipeIdNotice, 0, PipeIdNotice(pipeId)) == 0; });
    mainPipe.reset();
    if (!noticeWritten) return Fail("no kernel read the pipe-name notice");
    std::vector<wchar_t> params(kPipeBufferSize);
    if (!Retry([&] {
            m_lastStatus = m_codec.ReadPipeMessage(m_readPipe.get(), m_first.cmdId, m_first.serialNum, params.data(),
                                                   params.size());
            return m_lastStatus == 0;
        }))
        return Fail("the kernel wrote no first message (last read status " + std::to_string(m_lastStatus) + ")");
    m_first.params = params.data();
    return true;
}

long KernelClient::Send(int cmdId, int serialNum, const std::wstring& params)
{
    return m_codec.WritePipeMessage(m_writePipe.get(), cmdId, serialNum, params);
}

std::optional<KernelMessage> KernelClient::Receive(DWORD ms)
{
    std::vector<wchar_t> params(kPipeBufferSize);
    KernelMessage message;
    const DWORD start = ::GetTickCount();
    for (;;) {
        m_lastStatus =
            m_codec.ReadPipeMessage(m_readPipe.get(), message.cmdId, message.serialNum, params.data(), params.size());
        if (m_lastStatus == 0) {
            message.params = params.data();
            return message;
        }
        const bool waiting = m_lastStatus == ERROR_NO_DATA || m_lastStatus == kMalformedMessage;
        if (!waiting || ::GetTickCount() - start >= ms) return std::nullopt;
        ::Sleep(5);
    }
}

std::optional<KernelMessage> KernelClient::Await(int cmdId, DWORD ms)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - start;
        auto message = Receive(elapsed < ms ? ms - elapsed : 0);
        if (!message || message->cmdId == cmdId) return message;
    }
}

std::optional<std::wstring> KernelClient::Request(int cmdId, const std::wstring& params, DWORD ms)
{
    if (Send(cmdId, 0, params) != 0) return std::nullopt;
    auto answer = Await(cmdId, ms);
    if (!answer) return std::nullopt;
    return answer->params;
}

void KernelClient::Close()
{
    m_codec.ForgetPipe(m_readPipe.get());
    m_readPipe.reset();
    m_writePipe.reset();
}

bool KernelClient::Fail(const std::string& failure)
{
    m_failure = failure;
    Close();
    return false;
}

} // namespace vl::test
