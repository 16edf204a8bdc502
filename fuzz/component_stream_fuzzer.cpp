// Feeds arbitrary bytes to the component stream reader. Whatever it accepts must write
// back to exactly the bytes it consumed and read back to the same record.
#include "com_server/portable/component_stream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto parsed = vl::ReadComponentStream({data, size});
    if (!parsed) {
        if (parsed.Error().message.empty()) std::abort();
        return 0;
    }
    const auto written = vl::WriteComponentStream(parsed->root);
    if (!written) std::abort();
    if (written->size() != parsed->consumed || std::memcmp(written->data(), data, written->size()) != 0)
        std::abort();
    const auto reread = vl::ReadComponentStream(*written);
    if (!reread || reread->consumed != written->size() || !(reread->root == parsed->root)) std::abort();
    return 0;
}
