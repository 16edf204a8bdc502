#include "support/portable/version_text.h"

#include <array>
#include <cstdint>

#include "support/portable/ascii.h"

namespace vl {

namespace {

int DigitValue(wchar_t c, unsigned base)
{
    if (IsAsciiDigit(c)) return c - L'0';
    if (base == 16 && c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (base == 16 && c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

struct VersionNumbers {
    std::array<std::uint32_t, 4> numbers{}; // each part's 32-bit pattern
    std::wstring error;
};

// Three times the part before the first "."; a missing "." gives an empty part and
// leaves the rest for the next one. The fourth part is what remains.
VersionNumbers ParseVersionText(std::wstring_view text)
{
    VersionNumbers parsed;
    for (std::size_t i = 0; i < parsed.numbers.size(); ++i) {
        std::wstring_view part = text;
        if (i + 1 < parsed.numbers.size()) {
            const auto dot = text.find(L'.');
            const bool found = dot != std::wstring_view::npos;
            part = text.substr(0, found ? dot : 0);
            text.remove_prefix(found ? dot + 1 : 0);
        }
        const auto value = TextToInteger(part);
        if (!value) {
            parsed.error = L"'" + std::wstring(part) + L"' is not a valid integer value";
            return parsed;
        }
        parsed.numbers[i] = static_cast<std::uint32_t>(*value);
    }
    return parsed;
}

} // namespace

std::optional<int> TextToInteger(std::wstring_view text)
{
    const auto start = text.find_first_not_of(L' ');
    if (start == std::wstring_view::npos) return std::nullopt;
    text.remove_prefix(start);

    bool negative = false;
    if (text.starts_with(L'+') || text.starts_with(L'-')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (text.starts_with(L'$')) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.starts_with(L"0x") || text.starts_with(L"0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;

    std::uint64_t magnitude = 0;
    for (const wchar_t c : text) {
        const int digit = DigitValue(c, base);
        if (digit < 0) return std::nullopt;
        magnitude = magnitude * base + static_cast<unsigned>(digit);
        if (magnitude > UINT32_MAX) return std::nullopt;
    }
    // Hexadecimal spells any bit pattern; decimal must be a signed value.
    if (base == 10 && magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu)) return std::nullopt;
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    return static_cast<int>(bits);
}

VersionComparison CompareVersionTexts(std::wstring_view olderVersion, std::wstring_view newerVersion)
{
    const VersionNumbers older = ParseVersionText(olderVersion);
    if (!older.error.empty()) return {.error = older.error};
    const VersionNumbers newer = ParseVersionText(newerVersion);
    if (!newer.error.empty()) return {.error = newer.error};
    for (std::size_t i = 0; i < older.numbers.size(); ++i)
        if (older.numbers[i] != newer.numbers[i]) return {.older = older.numbers[i] < newer.numbers[i]};
    return {};
}

std::wstring FormatVersionText(unsigned long mostSignificant, unsigned long leastSignificant)
{
    const auto word = [](unsigned long value, int shift) { return std::to_wstring((value >> shift) & 0xFFFFu); };
    return word(mostSignificant, 16) + L"." + word(mostSignificant, 0) + L"." + word(leastSignificant, 16) + L"." +
           word(leastSignificant, 0);
}

} // namespace vl
