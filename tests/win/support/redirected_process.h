// A program a test starts with standard handles of its choosing (pipes it reads or writes
// while the program runs), ended by force if the test leaves it running.
#pragma once

#include <windows.h>

#include <string>

#include "support/win_handles.h"

namespace vl::test {

class RedirectedProcess {
public:
    // The handles must be inheritable; null leaves that handle unset.
    RedirectedProcess(const std::wstring& commandLine, HANDLE input, HANDLE output, HANDLE error);
    ~RedirectedProcess();
    RedirectedProcess(const RedirectedProcess&) = delete;
    RedirectedProcess& operator=(const RedirectedProcess&) = delete;

    bool Started() const { return m_process.valid(); }

    // The exit code once the program has ended, waiting at most `ms`; a program still
    // running then is ended with exit code 99.
    DWORD Finish(DWORD ms);

private:
    UniqueHandle m_process;
};

} // namespace vl::test
