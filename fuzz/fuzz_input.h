// Texts made of a fuzzer's input bytes, byte for character as a single-byte code page
// would convert them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace vl::fuzz {

// The input up to its first NUL byte, and what follows that byte.
inline std::pair<std::wstring, std::wstring> TwoTexts(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t* nul = std::find(data, data + size, 0);
    return {std::wstring(data, nul), nul == data + size ? std::wstring() : std::wstring(nul + 1, data + size)};
}

} // namespace vl::fuzz
