// Version texts: four decimal numbers joined by dots, as "%d.%d.%d.%d" writes them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vl {

// The outcome of comparing two version texts. A text that is not four integers gives
// no result but the conversion message "'%s' is not a valid integer value" instead;
// the callers turn that into a failure value (nothing is thrown).
struct VersionComparison {
    bool older = false;       // the first text is strictly lower than the second
    std::wstring error;       // non-empty when either text is malformed
    bool valid() const { return error.empty(); }
};

VersionComparison CompareVersionTexts(std::wstring_view olderVersion, std::wstring_view newerVersion);

// "%d.%d.%d.%d" of the two double words of a fixed file version.
std::wstring FormatVersionText(unsigned long mostSignificant, unsigned long leastSignificant);

// The framework's text-to-integer conversion: optional blanks and sign, decimal digits
// or "$"/"0x" hexadecimal, the whole text, within 32 bits. Nothing on failure.
std::optional<int> TextToInteger(std::wstring_view text);

} // namespace vl
