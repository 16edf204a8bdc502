// Feeds arbitrary pipe bytes through the framer and the message parser.
#include "kernel_link/portable/message_text.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vl::MessageFramer framer;
    std::wstring wide;
    // Two appends exercise messages split across reads.
    const std::size_t half = size / 2;
    framer.Append(reinterpret_cast<const char*>(data), half);
    for (int pass = 0; pass < 2; ++pass) {
        while (auto text = framer.Next()) {
            // Byte for character, as a single-byte code page would convert it.
            wide.resize(text->size());
            for (std::size_t i = 0; i < text->size(); ++i) wide[i] = static_cast<unsigned char>((*text)[i]);
            if (auto message = vl::ParseKernelMessage(wide)) {
                vl::GetKeyValue(message->params, L"RetData=");
                vl::FormatKernelMessage(message->cmdId, message->serialNum, *text);
            }
        }
        framer.Append(reinterpret_cast<const char*>(data) + half, size - half);
    }
    return 0;
}
