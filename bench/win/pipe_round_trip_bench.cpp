// pipe_round_trip_bench: the floor under every request of the control. One kernel message
// is written and its answer read through the control's own pipe ends (KernelPipe: server
// ends made as the control makes them, overlapped, 4 KiB buffers), the reader waiting on
// the pipe's ready event as the control's request does:
//   - against a peer thread of this program that answers each message as soon as it
//     arrives (the cost of the pipes themselves);
//   - against the stand-in kernel's echo (a CmdID it does not know comes back).
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
#include "support/stand_in_kernel.h"
#include "support/test_paths.h"

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
        MeasurePeerThread();
        MeasureStandInKernel();
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pipe_round_trip_bench: %s\n", error.what());
        return 1;
    }
}
