#include "stand_in_kernel.h"

#include <algorithm>
#include <vector>

#include "kernel_link/portable/kernel_commands.h"
#include "kernel_link/portable/pipe_names.h"
#include "support/product_registry.h"

namespace vl::test {

namespace {

// Each phase of the handshake waits this long at most.
constexpr DWORD kPhaseMs = 4000;

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
    m_readPipe = KernelPipe::CreateServerEnd(ReadPipeName(pipeId), PIPE_ACCESS_INBOUND, true);
    m_writePipe = KernelPipe::CreateServerEnd(WritePipeName(pipeId), PIPE_ACCESS_OUTBOUND, true);
    if (!m_readPipe || !m_writePipe) return Fail("the pair could not be created");
    auto mainPipe = CreateMainPipe(::GetTickCount() + kPhaseMs);
    if (!mainPipe) return Fail("the main pipe could not be created");
    DWORD deadline = ::GetTickCount() + kPhaseMs;
    bool cut = false;
    if (!mainPipe->WaitForClient(deadline) ||
        mainPipe->WriteMessage(kernel_command::kPipeIdNotice, 0, PipeIdNotice(pipeId), deadline, cut) != 0)
        return Fail("no kernel read the pipe-name notice");
    mainPipe.reset();
    deadline = ::GetTickCount() + kPhaseMs;
    if (!m_readPipe->WaitForClient(deadline) || !m_writePipe->WaitForClient(deadline))
        return Fail("the kernel did not open the pair");
    auto first = Receive(TimeLeft(deadline));
    if (!first) return Fail("the kernel wrote no first message (last read status " + std::to_string(m_lastStatus) + ")");
    m_first = std::move(*first);
    return true;
}

long KernelClient::Send(int cmdId, int serialNum, const std::wstring& params)
{
    if (!m_writePipe) return ERROR_INVALID_HANDLE;
    bool cut = false;
    return m_writePipe->WriteMessage(cmdId, serialNum, params, ::GetTickCount() + kPhaseMs, cut);
}

std::optional<KernelMessage> KernelClient::Receive(DWORD ms)
{
    KernelMessage message;
    m_lastStatus = m_readPipe ? m_readPipe->ReadBy(message, ::GetTickCount() + ms) : ERROR_INVALID_HANDLE;
    if (m_lastStatus != 0) return std::nullopt;
    return message;
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
