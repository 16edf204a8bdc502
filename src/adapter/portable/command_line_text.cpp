#include "adapter/portable/command_line_text.h"

#include <algorithm>

#include "support/portable/ascii.h"

namespace vl {

namespace {

constexpr std::size_t kMaxRegionLength = 64;
constexpr int kMaxVersionNumbers = 4;
// Any number of nine digits fits in the 32 bits the comparison converts to.
constexpr std::size_t kMaxVersionDigits = 9;

bool IsRegionCharacter(wchar_t c)
{
    return IsAsciiDigit(c) || IsAsciiLetter(c) || c == L';' || c == L'.' || c == L'-' || c == L'_';
}

} // namespace

bool IsAcceptedRegionValue(std::wstring_view regionValue)
{
    // As the first argument of the kernel and the updater, "-x" or "/x" would be an option.
    const bool beginsPlainly =
        regionValue.empty() || IsAsciiDigit(regionValue.front()) || IsAsciiLetter(regionValue.front());
    return beginsPlainly && regionValue.size() <= kMaxRegionLength && std::ranges::all_of(regionValue, IsRegionCharacter);
}

bool IsAcceptedVersionText(std::wstring_view version)
{
    int numbers = 0;
    for (;;) {
        const auto dot = version.find(L'.');
        const std::wstring_view number = version.substr(0, dot);
        if (number.empty() || number.size() > kMaxVersionDigits || !std::ranges::all_of(number, IsAsciiDigit<wchar_t>) ||
            ++numbers > kMaxVersionNumbers)
            return false;
        if (dot == std::wstring_view::npos) return true;
        version.remove_prefix(dot + 1);
    }
}

} // namespace vl
