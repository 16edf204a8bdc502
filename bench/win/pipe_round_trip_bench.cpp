// pipe_round_trip_bench: the floor under every request of the control. One kernel message
// is written and its answer read with the control's codec, on a pipe pair made as the
// control makes it (byte stream, non-blocking server ends, 4 KiB buffers), the answer
// polled without pauses:
//   - against a peer thread of this program that answers each message as soon as it
//     arrives (the cost of the pipes themselves);
//   - against the stand-in kernel's echo (a CmdID it does not know comes back), which
//     serves its pipes by polling.
#include <windows.h>

#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "bench_report.h"
#include "kernel_link/pipe_message_codec.h"
#include "kernel_link/portable/pipe_names.h"
#include "fixtures/child_process.h"
#include "fixtures/kernel_client.h"
#include "fixtures/test_paths.h"

namespace {

using vl::bench::Stopwatch;

constexpr int kEchoCmd = 2;
constexpr int kLeaveNotice = 1;
constexpr int kPeerRoundTrips = 2000;
constexpr int kKernelRoundTrips = 200;
constexpr double kGiveUpMs = 5000;

// Polls `read` until a message with `cmdId` arrives; false on a pipe error or after kGiveUpMs.
template <typename Read>
bool PollFor(int cmdId, Read read)
{
    const Stopwatch watch;
    for (;;) {
        int gotCmd = 0;
        const long status = read(gotCmd);
        if (status == 0 && gotCmd == cmdId) return true;
        if (status != 0 && status != ERROR_NO_DATA && status != vl::kMalformedMessage) return false;
        if (watch.Milliseconds() > kGiveUpMs) return false;
    }
}

// The other end of a pair, as a thread: blocking reads, every message sent back at once,
// until the leave notice.
void EchoPeer(std::uint32_t pipeId) noexcept
{
    try {
        vl::UniqueHandle toServer(::CreateFileW(vl::ReadPipeName(pipeId).c_str(), GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
        vl::UniqueHandle fromServer(::CreateFileW(vl::WritePipeName(pipeId).c_str(), GENERIC_READ, 0, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
        if (!toServer || !fromServer) return;
        vl::CVLPipeMessageCodec codec;
        std::vector<wchar_t> params(vl::kPipeBufferSize);
        for (;;) {
            int cmdId = 0;
            int serialNum = 0;
            const long status = codec.ReadPipeMessage(fromServer.get(), cmdId, serialNum, params.data(), params.size());
            if (status == vl::kMalformedMessage) continue;
            if (status != 0 || cmdId == kLeaveNotice) return;
            if (codec.WritePipeMessage(toServer.get(), cmdId, serialNum, params.data()) != 0) return;
        }
    } catch (const std::exception&) {
        // The measuring side sees the silence and reports it.
    }
}

void MeasurePeerThread()
{
    const std::uint32_t pipeId = vl::test::NewPipeId();
    vl::UniqueHandle readPipe(vl::CreateKernelPipe(vl::ReadPipeName(pipeId), PIPE_ACCESS_INBOUND));
    vl::UniqueHandle writePipe(vl::CreateKernelPipe(vl::WritePipeName(pipeId), PIPE_ACCESS_OUTBOUND));
    if (!readPipe || !writePipe) {
        vl::bench::PrintMissing("pipe.raw", "the pipe pair could not be created");
        return;
    }
    std::thread peer(EchoPeer, pipeId);
    vl::CVLPipeMessageCodec codec;
    std::vector<wchar_t> params(vl::kPipeBufferSize);
    auto read = [&](int& cmdId) {
        int serialNum = 0;
        return codec.ReadPipeMessage(readPipe.get(), cmdId, serialNum, params.data(), params.size());
    };
    std::vector<double> samples;
    const int warmUp = kPeerRoundTrips / 10;
    for (int i = 0; i < warmUp + kPeerRoundTrips; ++i) {
        const Stopwatch watch;
        // Until the peer has connected, writes fail with ERROR_PIPE_LISTENING.
        while (codec.WritePipeMessage(writePipe.get(), kEchoCmd, i, L"Key=score&&&&Value=42") == ERROR_PIPE_LISTENING &&
               watch.Milliseconds() < kGiveUpMs)
            ::Sleep(1);
        if (!PollFor(kEchoCmd, read)) break;
        if (i >= warmUp) samples.push_back(watch.Milliseconds());
    }
    codec.WritePipeMessage(writePipe.get(), kLeaveNotice, 0, L"");
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
    auto read = [&](int& cmdId) {
        const auto message = client.Receive(0);
        if (message) cmdId = message->cmdId;
        return message ? 0L : client.LastStatus();
    };
    std::vector<double> samples;
    for (int i = 0; i < kKernelRoundTrips; ++i) {
        const Stopwatch watch;
        if (client.Send(kEchoCmd, i, L"Key=score&&&&Value=42") != 0 || !PollFor(kEchoCmd, read)) break;
        samples.push_back(watch.Milliseconds());
    }
    client.Send(kLeaveNotice, 0, L"");
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
