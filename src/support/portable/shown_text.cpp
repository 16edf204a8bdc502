#include "support/portable/shown_text.h"

#include "support/portable/surrogates.h"

namespace vl {

namespace {

constexpr std::wstring_view kEllipsis = L"...";

// Control characters, and every character that shows nothing yet may reorder, join,
// break or hide the text around it: Unicode's default-ignorable code points, the
// directional marks, embeddings, overrides and isolates, the line and paragraph
// separators and the interlinear annotation marks.
bool IsHidden(char32_t c)
{
    struct Range {
        char32_t first, last;
    };
    static constexpr Range kHidden[] = {
        {0x0000, 0x001F},   {0x007F, 0x009F},   {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x061C, 0x061C},
        {0x115F, 0x1160},   {0x17B4, 0x17B5},   {0x180B, 0x180F},   {0x200B, 0x200F},   {0x2028, 0x202E},
        {0x2060, 0x206F},   {0x3164, 0x3164},   {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},
        {0xFFF0, 0xFFFB},   {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
    };
    for (const Range& range : kHidden)
        if (c >= range.first && c <= range.last) return true;
    return false;
}

} // namespace

std::wstring ShownText(std::wstring_view text, std::size_t maxLength)
{
    std::wstring shown;
    shown.reserve(text.size() < maxLength ? text.size() : maxLength);
    bool cut = false;
    for (std::size_t i = 0; i < text.size() && !cut; ++i) {
        // One character: a surrogate pair where wchar_t holds UTF-16 units.
        char32_t c = static_cast<char32_t>(text[i]);
        std::size_t units = 1;
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            units = 2;
        }
        if (!IsHidden(c)) {
            if (shown.size() + units > maxLength) cut = true;
            else shown.append(text.substr(i, units));
        }
        i += units - 1;
    }
    if (!cut) return shown;
    shown.resize(maxLength > kEllipsis.size() ? maxLength - kEllipsis.size() : 0);
    if (!shown.empty() && IsHighSurrogate(static_cast<char32_t>(shown.back()))) shown.pop_back();
    if (maxLength >= kEllipsis.size()) shown.append(kEllipsis);
    return shown;
}

} // namespace vl
