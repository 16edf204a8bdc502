// Throughput of the kernel message reader's core: the byte stream of a pipe, delivered in
// reads of at most 4 KiB, split by MessageFramer and parsed by ParseKernelMessage.
// The ANSI-to-UTF-16 conversion is the platform's; here the messages are ASCII and are
// widened byte by byte, which is what that conversion does with them.
#include <cstdint>
#include <string>
#include <vector>

#include "bench_report.h"
#include "kernel_link/portable/message_text.h"

namespace {

using vl::bench::PrintFigure;

struct MessageStream {
    std::string bytes; // messages, each followed by its NUL
    std::size_t count = 0;
};

void AddMessage(MessageStream& stream, int cmdId, int serialNum, const std::string& params)
{
    stream.bytes += *vl::FormatKernelMessage(cmdId, serialNum, params);
    stream.bytes += '\0';
    ++stream.count;
}

// What a linked page sees: request answers, burst results, loaded values of some length.
MessageStream TypicalMessages()
{
    MessageStream stream;
    for (int i = 0; i < 1000; ++i) {
        switch (i % 4) {
        case 0: AddMessage(stream, 162, 0, "RetData=OK"); break;
        case 1: AddMessage(stream, 100, i, "Burst=" + std::to_string(i) + "&&&&Count=1000"); break;
        case 2: AddMessage(stream, 163, 0, "RetData=" + std::string(static_cast<std::size_t>(i % 200), 'v')); break;
        default: AddMessage(stream, 2, i, "Echo=hello&&&&Key=score&&&&Value=" + std::to_string(i * 37)); break;
        }
    }
    return stream;
}

// Messages at the size limit.
MessageStream LargestMessages()
{
    MessageStream stream;
    const std::string head = *vl::FormatKernelMessage(163, 0, "RetData=");
    for (int i = 0; i < 200; ++i)
        AddMessage(stream, 163, 0, "RetData=" + std::string(vl::kMaxMessageTextBytes - head.size(), 'x'));
    return stream;
}

// Frames and parses the whole stream; the number of messages parsed.
std::size_t ReadAll(const MessageStream& stream, std::int64_t& checksum)
{
    vl::MessageFramer framer;
    std::size_t parsed = 0;
    std::wstring wide;
    for (std::size_t at = 0; at < stream.bytes.size(); at += vl::kPipeBufferSize) {
        const std::size_t size = std::min(vl::kPipeBufferSize, stream.bytes.size() - at);
        framer.Append(stream.bytes.data() + at, size);
        while (auto text = framer.Next()) {
            wide.assign(text->begin(), text->end());
            if (const auto message = vl::ParseKernelMessage(wide)) {
                checksum += message->cmdId + static_cast<std::int64_t>(message->params.size());
                ++parsed;
            }
        }
    }
    return parsed;
}

void Measure(const char* key, const MessageStream& stream)
{
    std::int64_t checksum = 0;
    if (ReadAll(stream, checksum) != stream.count) {
        vl::bench::PrintMissing(std::string("parse.") + key + ".messages_per_s", "messages were lost");
        return;
    }
    const double perSecond = vl::bench::ItemsPerCpuSecond([&] { ReadAll(stream, checksum); }, stream.count);
    const double bytesPerMessage = static_cast<double>(stream.bytes.size()) / static_cast<double>(stream.count);
    PrintFigure(std::string("parse.") + key + ".messages_per_s", perSecond, "msg/s");
    PrintFigure(std::string("parse.") + key + ".mb_per_s", perSecond * bytesPerMessage / 1e6, "MB/s");
    PrintFigure(std::string("parse.") + key + ".bytes_per_message", bytesPerMessage, "B");
    if (checksum == 42) std::printf("\n"); // keeps the work observable
}

} // namespace

int main()
{
    Measure("typical", TypicalMessages());
    Measure("largest", LargestMessages());
    return 0;
}
