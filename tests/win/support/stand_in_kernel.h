// Drives the stand-in kernel from a test or the link demo: its process, and the adapter's
// side of a link, made by the adapter's own handshake.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kernel_link/kernel_pipe.h"
#include "kernel_link/portable/message_text.h"
#include "support/win_handles.h"

namespace vl::test {

// Environment variables given to a child process only (an empty value removes one).
using EnvironmentOverrides = std::vector<std::pair<std::wstring, std::wstring>>;

// A stand-in program started by the caller; ended when its owner goes while it still runs,
// and then a "PID" value naming it is removed as the kernel would have done.
class ChildProcess {
public:
    // Check Started() afterwards.
    ChildProcess(const std::wstring& exe, const std::wstring& parameters,
                 const EnvironmentOverrides& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_process.valid(); }
    DWORD Id() const { return m_id; }
    // True when the process ended within `ms`.
    bool WaitForExit(DWORD ms) const;
    DWORD ExitCode() const;

private:
    UniqueHandle m_process;
    DWORD m_id = 0;
};

// The kernel's window (class "TMainForm", title "VLWKernel") once it exists, within `ms`.
HWND WaitForKernelWindow(DWORD ms);

// A pipe number that no other link of this process uses.
std::uint32_t NewPipeId();

class KernelClient {
public:
    KernelClient() = default;
    KernelClient(const KernelClient&) = delete;
    KernelClient& operator=(const KernelClient&) = delete;

    // The adapter's handshake for the pair `pipeId`: creates the pair and the main pipe,
    // writes the pipe-name notice once a kernel has opened it and reads the kernel's first
    // message; each phase waits at most 4 s. On failure Failure() says which phase failed
    // and the pair is closed.
    bool Open(std::uint32_t pipeId);
    const std::string& Failure() const { return m_failure; }
    const KernelMessage& FirstMessage() const { return m_first; }

    // 0 or the error of the write.
    long Send(int cmdId, int serialNum, const std::wstring& params);
    // The next message within `ms`; nothing when none came or the link broke (LastStatus()).
    std::optional<KernelMessage> Receive(DWORD ms);
    // The next message with `cmdId` within `ms`; others are dropped.
    std::optional<KernelMessage> Await(int cmdId, DWORD ms);
    // Sends a request and returns the parameters of its answer (the same CmdID).
    std::optional<std::wstring> Request(int cmdId, const std::wstring& params, DWORD ms = 2000);
    // The status of the last read: 0, WAIT_TIMEOUT nothing came, 109 the kernel closed its ends...
    long LastStatus() const { return m_lastStatus; }

    void Close();

private:
    bool Fail(const std::string& failure);

    std::unique_ptr<KernelPipe> m_readPipe;
    std::unique_ptr<KernelPipe> m_writePipe;
    KernelMessage m_first;
    std::string m_failure;
    long m_lastStatus = 0;
};

} // namespace vl::test
