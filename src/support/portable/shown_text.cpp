#include "support/portable/shown_text.h"

namespace vl {

namespace {

constexpr std::wstring_view kEllipsis = L"...";

bool IsHidden(wchar_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) ||   // C0, DEL, C1
           (c >= 0x200B && c <= 0x200F) ||            // zero-width characters, directional marks
           (c >= 0x202A && c <= 0x202E) ||            // directional embeddings and overrides
           (c >= 0x2060 && c <= 0x2069) ||            // word joiner, invisible operators, isolates
           c == 0xFEFF;
}

bool IsHighSurrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

} // namespace

std::wstring ShownText(std::wstring_view text, std::size_t maxLength)
{
    std::wstring shown;
    shown.reserve(text.size() < maxLength ? text.size() : maxLength);
    bool cut = false;
    for (const wchar_t c : text) {
        if (IsHidden(c)) continue;
        if (shown.size() == maxLength) {
            cut = true;
            break;
        }
        shown.push_back(c);
    }
    if (!cut) return shown;
    shown.resize(maxLength > kEllipsis.size() ? maxLength - kEllipsis.size() : 0);
    if (!shown.empty() && IsHighSurrogate(shown.back())) shown.pop_back();
    if (maxLength >= kEllipsis.size()) shown.append(kEllipsis);
    return shown;
}

} // namespace vl
