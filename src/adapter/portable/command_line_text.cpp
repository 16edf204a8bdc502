#include "adapter/portable/command_line_text.h"

#include <algorithm>

#include "support/portable/ascii.h"
#include "support/portable/version_text.h"

namespace vl {

namespace {

constexpr std::size_t kMaxRegionLength = 64;
constexpr int kVersionNumbers = 4;

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
    for (int number = 1;; ++number) {
        const auto dot = version.find(L'.');
        const std::wstring_view part = version.substr(0, dot);
        // Digits only, within what the comparison converts: it would also read signs,
        // blanks and hexadecimal, which have no place on a command line.
        if (part.empty() || !std::ranges::all_of(part, IsAsciiDigit<wchar_t>) || !TextToInteger(part)) return false;
        if (dot == std::wstring_view::npos) return number == kVersionNumbers;
        if (number == kVersionNumbers) return false;
        version.remove_prefix(dot + 1);
    }
}

} // namespace vl
