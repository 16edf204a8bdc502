#include "service_host/standard_input_reader.h"

#include <memory>
#include <utility>

#include "service_host/portable/service_message.h"
#include "support/detached_thread.h"
#include "support/portable/exception_boundary.h"

namespace vl {
namespace {

// Large enough for the usual message in one read; longer ones take several.
constexpr DWORD kReadBytes = 64 * 1024;

void ReadUntilClosed(HANDLE input, InboundMessages& inbound, StandardOutputWriter& output)
{
    NativeMessageReader reader;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kReadBytes);
    for (;;) {
        DWORD read = 0;
        // A pipe whose writer closed fails with ERROR_BROKEN_PIPE; a file ends with 0 bytes.
        if (!::ReadFile(input, buffer.get(), kReadBytes, &read, nullptr) || read == 0) return;
        reader.Append(buffer.get(), read);
        while (auto message = reader.Next())
            if (!inbound.Push(std::move(*message)))
                output.Write(FormatAnswer(ErrorAnswer(LeadingRequestId(message->text), std::string(kBusy))));
    }
}

} // namespace

bool StartStandardInputReader(HANDLE input, std::shared_ptr<InboundMessages> inbound,
                              std::shared_ptr<StandardOutputWriter> output)
{
    return CatchReturn(false, [&] {
        return StartDetachedThread([input, inbound = std::move(inbound), output = std::move(output)] {
            // Out of memory: the input counts as ended, and the host ends cleanly.
            CatchIgnore([&] { ReadUntilClosed(input, *inbound, *output); });
            inbound->Close();
        });
    });
}

} // namespace vl
