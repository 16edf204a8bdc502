// pipe_round_trip_bench: the floors under every request of the control. One kernel message
// is written and its answer read:
//   - through plain pipes, each end blocking in ReadFile and WriteFile, against a peer
//     thread that answers at once: the physical floor of a round trip between two threads;
//   - through the control's own pipe ends (KernelPipe: server ends made as the control
//     makes them, overlapped, 4 KiB buffers), the reader waiting on the pipe's ready event
//     as the control's request does, against a peer thread that answers each message as
//     soon as it arrives (the cost of the pipes as the control uses them);
//   - the same against the stand-in kernel's echo (a CmdID it does not know comes back).
#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_report.h"
#include "kernel_link/kernel_pipe.h"
#include "kernel_link/portable/kernel_commands.h"
#include "kernel_link/portable/pipe_names.h"
#include "fixtures/child_process.h"
#include "fixtures/kernel_client.h"
#include "fixtures/test_paths.h"
#include "support/win_handles.h"

namespace {

using vl::bench::Stopwatch;

// A page command the stand-in kernel does not know: it comes back as an echo.
constexpr int kEchoCmd = 2;
constexpr int kPeerRoundTrips = 2000;
constexpr int kKernelRoundTrips = 200;
constexpr DWORD kGiveUpMs = 5000;

// The next message from `pipe`, waiting as the control's request waits; nothing on a pipe
// error or after kGiveUpMs.
std::optional<vl::KernelMessage> NextMessage(vl::KernelPipe& pipe)
{
    vl::KernelMessage message;
    if (pipe.ReadBy(message, ::GetTickCount() + kGiveUpMs) != 0) return std::nullopt;
    return message;
}

bool Write(vl::KernelPipe& pipe, int cmdId, int serialNum, const std::wstring& params)
{
    bool cut = false;
    return pipe.WriteMessage(cmdId, serialNum, params, ::GetTickCount() + kGiveUpMs, cut) == 0;
}

// The other end of a pair, as a thread: every message sent back at once, until the leave
// notice.
void EchoPeer(std::uint32_t pipeId) noexcept
{
    try {
        auto toServer = vl::KernelPipe::OpenClientEnd(vl::ReadPipeName(pipeId), GENERIC_WRITE);
        auto fromServer = vl::KernelPipe::OpenClientEnd(vl::WritePipeName(pipeId), GENERIC_READ);
        if (!toServer || !fromServer) return;
        for (;;) {
            const auto message = NextMessage(*fromServer);
            if (!message || message->cmdId == vl::kernel_command::kLeaveNotice) return;
            if (!Write(*toServer, message->cmdId, message->serialNum, message->params)) return;
        }
    } catch (const std::exception&) {
        // The measuring side sees the silence and reports it.
    }
}

// The other end of a plain pair: each read's bytes written back at once, until the pipe
// breaks.
void PlainEchoPeer(HANDLE fromServer, HANDLE toServer) noexcept
{
    char buffer[vl::kPipeBufferSize];
    DWORD read = 0;
    DWORD written = 0;
    while (::ReadFile(fromServer, buffer, sizeof buffer, &read, nullptr) && read > 0 &&
           ::WriteFile(toServer, buffer, read, &written, nullptr)) {
    }
}

void MeasurePlainPipes()
{
    const std::uint32_t pipeId = vl::test::NewPipeId();
    const auto create = [](const std::wstring& name, DWORD mode) {
        return vl::UniqueHandle(::CreateNamedPipeW(name.c_str(), mode, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                                   1, vl::kPipeBufferSize, vl::kPipeBufferSize, 0, nullptr));
    };
    const auto open = [](const std::wstring& name, DWORD access) {
        return vl::UniqueHandle(::CreateFileW(name.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    vl::UniqueHandle readPipe = create(vl::ReadPipeName(pipeId), PIPE_ACCESS_INBOUND);
    vl::UniqueHandle writePipe = create(vl::WritePipeName(pipeId), PIPE_ACCESS_OUTBOUND);
    vl::UniqueHandle toServer = open(vl::ReadPipeName(pipeId), GENERIC_WRITE);
    vl::UniqueHandle fromServer = open(vl::WritePipeName(pipeId), GENERIC_READ);
    if (!readPipe || !writePipe || !toServer || !fromServer) {
        vl::bench::PrintMissing("pipe.plain", "the plain pipe pair could not be made");
        return;
    }
    std::thread peer(PlainEchoPeer, fromServer.get(), toServer.get());
    const std::string message = *vl::MessageBytes(kEchoCmd, 0, L"Key=score&&&&Value=42");
    std::vector<double> samples;
    char answer[vl::kPipeBufferSize];
    const int warmUp = kPeerRoundTrips / 10;
    for (int i = 0; i < warmUp + kPeerRoundTrips; ++i) {
        const Stopwatch watch;
        DWORD done = 0;
        if (!::WriteFile(writePipe.get(), message.data(), static_cast<DWORD>(message.size()), &done, nullptr)) break;
        // Bytes of one answer may come in more than one read.
        std::size_t got = 0;
        while (got < message.size() && ::ReadFile(readPipe.get(), answer, sizeof answer, &done, nullptr)) got += done;
        if (got != message.size()) break;
        if (i >= warmUp) samples.push_back(watch.Milliseconds());
    }
    writePipe.reset(); // the peer's read breaks
    peer.join();
    if (samples.size() != static_cast<std::size_t>(kPeerRoundTrips)) {
        vl::bench::PrintMissing("pipe.plain", "the plain peer stopped answering");
        return;
    }
    vl::bench::PrintLatency("pipe.plain", samples, "ms");
}

void MeasurePeerThread()
{
    const std::uint32_t pipeId = vl::test::NewPipeId();
    auto readPipe = vl::KernelPipe::CreateServerEnd(vl::ReadPipeName(pipeId), PIPE_ACCESS_INBOUND, true);
    auto writePipe = vl::KernelPipe::CreateServerEnd(vl::WritePipeName(pipeId), PIPE_ACCESS_OUTBOUND, true);
    if (!readPipe || !writePipe) {
        vl::bench::PrintMissing("pipe.raw", "the pipe pair could not be created");
        return;
    }
    std::thread peer(EchoPeer, pipeId);
    const DWORD connectDeadline = ::GetTickCount() + kGiveUpMs;
    std::vector<double> samples;
    if (readPipe->WaitForClient(connectDeadline) && writePipe->WaitForClient(connectDeadline)) {
        const int warmUp = kPeerRoundTrips / 10;
        for (int i = 0; i < warmUp + kPeerRoundTrips; ++i) {
            const Stopwatch watch;
            if (!Write(*writePipe, kEchoCmd, i, L"Key=score&&&&Value=42")) break;
            const auto answer = NextMessage(*readPipe);
            if (!answer || answer->cmdId != kEchoCmd) break;
            if (i >= warmUp) samples.push_back(watch.Milliseconds());
        }
        Write(*writePipe, vl::kernel_command::kLeaveNotice, 0, L"");
    }
    writePipe.reset();
    readPipe.reset();
    peer.join();
    if (samples.size() != static_cast<std::size_t>(kPeerRoundTrips)) {
        vl::bench::PrintMissing("pipe.raw", "the peer thread stopped answering");
        return;
    }
    vl::bench::PrintLatency("pipe.raw", samples, "ms");
}

void MeasureStandInKernel()
{
    vl::test::ChildProcess kernel(vl::test::BuildFile(L"tools/kernel/VLWidgetKernel.exe"), L"TW;Production");
    if (!kernel.Started() || !vl::test::WaitForKernelWindow(10000)) {
        vl::bench::PrintMissing("pipe.kernel", "the stand-in kernel did not start");
        return;
    }
    vl::test::KernelClient client;
    if (!client.Open(vl::test::NewPipeId())) {
        vl::bench::PrintMissing("pipe.kernel", "no link to the stand-in kernel: " + client.Failure());
        return;
    }
    std::vector<double> samples;
    for (int i = 0; i < kKernelRoundTrips; ++i) {
        const Stopwatch watch;
        if (client.Send(kEchoCmd, i, L"Key=score&&&&Value=42") != 0 || !client.Await(kEchoCmd, kGiveUpMs)) break;
        samples.push_back(watch.Milliseconds());
    }
    client.Send(vl::kernel_command::kLeaveNotice, 0, L"");
    kernel.WaitForExit(5000);
    if (samples.size() != static_cast<std::size_t>(kKernelRoundTrips)) {
        vl::bench::PrintMissing("pipe.kernel", "the stand-in kernel stopped answering");
        return;
    }
    vl::bench::PrintLatency("pipe.kernel", samples, "ms");
}

} // namespace

int main()
{
    try {
        MeasurePlainPipes();
        MeasurePeerThread();
        MeasureStandInKernel();
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pipe_round_trip_bench: %s\n", error.what());
        return 1;
    }
}
