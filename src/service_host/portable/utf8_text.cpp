#include "service_host/portable/utf8_text.h"

namespace vl {

std::optional<char32_t> NextUtf8CodePoint(std::string_view text, std::size_t& pos)
{
    if (pos >= text.size()) return std::nullopt;
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) return text[pos++];
    // The length the lead byte announces, the bits it carries, the least value of that length.
    std::size_t length;
    char32_t codePoint;
    char32_t least;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, codePoint = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, codePoint = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, codePoint = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - pos < length) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < least || codePoint > 0x10FFFF || IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint))
        return std::nullopt;
    pos += length;
    return codePoint;
}

void AppendUtf8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

void AppendUtf16(std::wstring& out, char32_t codePoint)
{
    if (codePoint < 0x10000) {
        out += static_cast<wchar_t>(codePoint);
        return;
    }
    codePoint -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
    out += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
}

} // namespace vl
