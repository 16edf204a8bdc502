#include "redirected_process.h"

namespace vl::test {

namespace {
constexpr UINT kEndedByTest = 99;
}

RedirectedProcess::RedirectedProcess(const std::wstring& commandLine, HANDLE input, HANDLE output, HANDLE error)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    std::wstring line = commandLine;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                          &process))
        return;
    ::CloseHandle(process.hThread);
    m_process.reset(process.hProcess);
}

RedirectedProcess::~RedirectedProcess()
{
    if (m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT)
        ::TerminateProcess(m_process.get(), kEndedByTest);
}

DWORD RedirectedProcess::Finish(DWORD ms)
{
    if (::WaitForSingleObject(m_process.get(), ms) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.get(), kEndedByTest);
        ::WaitForSingleObject(m_process.get(), INFINITE);
    }
    DWORD code = kEndedByTest;
    ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}

} // namespace vl::test
