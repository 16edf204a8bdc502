// The localized texts of the client side: 55 texts in four language rows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vl {

struct SVLWMessage {
    std::int32_t id;
    const wchar_t* text;
};

inline constexpr int kMessageCount = 55;
inline constexpr int kKernelWindowTitleMessage = 0; // "VLWKernel"
inline constexpr int kComputerErrorMessage = 3;     // "An error occurred on your computer, ..."
inline constexpr int kSignatureErrorMessage = 38;

// The text of `id` in the language row that `regionValue` selects by containment of
// "US", "TW", "HK", "CN" (tested in that order); empty when no row or no cell matches.
std::wstring LookupMessageText(std::wstring_view regionValue, int id);

} // namespace vl
