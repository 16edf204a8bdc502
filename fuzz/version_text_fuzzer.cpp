// Version texts as they come from a page (the required versions) and from a file's version
// resource: two texts split at the first NUL byte, compared both ways.
#include "support/portable/version_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include <tuple>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto [first, second] = vl::fuzz::TwoTexts(data, size);

    const vl::VersionComparison forward = vl::CompareVersionTexts(first, second);
    const vl::VersionComparison backward = vl::CompareVersionTexts(second, first);
    if (forward.valid() != backward.valid() || (forward.valid() && forward.older && backward.older)) std::abort();
    if (!forward.valid() && !forward.error.ends_with(L"' is not a valid integer value")) std::abort();
    if (forward.valid() && vl::CompareVersionTexts(first, first).older) std::abort();

    // A number that converts writes back to itself.
    if (const auto value = vl::TextToInteger(first); value && vl::TextToInteger(std::to_wstring(*value)) != value)
        std::abort();

    // Texts of version resources compare as their four numbers do.
    if (size >= 16) {
        std::uint32_t words[4];
        for (int i = 0; i < 4; ++i)
            words[i] = std::uint32_t(data[4 * i]) << 24 | std::uint32_t(data[4 * i + 1]) << 16 |
                       std::uint32_t(data[4 * i + 2]) << 8 | data[4 * i + 3];
        const auto parts = [](std::uint32_t high, std::uint32_t low) {
            return std::make_tuple(high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF);
        };
        const vl::VersionComparison formatted =
            vl::CompareVersionTexts(vl::FormatVersionText(words[0], words[1]), vl::FormatVersionText(words[2], words[3]));
        if (!formatted.valid() || formatted.older != (parts(words[0], words[1]) < parts(words[2], words[3])))
            std::abort();
    }
    return 0;
}
