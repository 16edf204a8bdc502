#include "com_server/portable/form_identifiers.h"

#include <algorithm>
#include <span>

#include "support/portable/ascii.h"

namespace vl {

namespace {

template <typename Value>
struct Named {
    std::string_view name;
    Value value;
};

constexpr std::int32_t SystemColor(int index) { return kSystemColorFlag | index; }

constexpr Named<std::int32_t> kColors[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clNone", 0x1FFFFFFF},
    {"clDefault", 0x20000000},
    {"clScrollBar", SystemColor(0)},
    {"clBackground", SystemColor(1)},
    {"clActiveCaption", SystemColor(2)},
    {"clInactiveCaption", SystemColor(3)},
    {"clMenu", SystemColor(4)},
    {"clWindow", SystemColor(5)},
    {"clWindowFrame", SystemColor(6)},
    {"clMenuText", SystemColor(7)},
    {"clWindowText", SystemColor(8)},
    {"clCaptionText", SystemColor(9)},
    {"clActiveBorder", SystemColor(10)},
    {"clInactiveBorder", SystemColor(11)},
    {"clAppWorkSpace", SystemColor(12)},
    {"clHighlight", SystemColor(13)},
    {"clHighlightText", SystemColor(14)},
    {"clBtnFace", SystemColor(15)},
    {"clBtnShadow", SystemColor(16)},
    {"clGrayText", SystemColor(17)},
    {"clBtnText", SystemColor(18)},
    {"clInactiveCaptionText", SystemColor(19)},
    {"clBtnHighlight", SystemColor(20)},
    {"cl3DDkShadow", SystemColor(21)},
    {"cl3DLight", SystemColor(22)},
    {"clInfoText", SystemColor(23)},
    {"clInfoBk", SystemColor(24)},
    {"clHotLight", SystemColor(26)},
    {"clGradientActiveCaption", SystemColor(27)},
    {"clGradientInactiveCaption", SystemColor(28)},
    {"clMenuHighlight", SystemColor(29)},
    {"clMenuBar", SystemColor(30)},
};

constexpr Named<std::uint8_t> kCharsets[] = {
    {"ANSI_CHARSET", 0},
    {"DEFAULT_CHARSET", kDefaultCharset},
    {"SYMBOL_CHARSET", 2},
    {"MAC_CHARSET", 77},
    {"SHIFTJIS_CHARSET", 128},
    {"HANGEUL_CHARSET", 129},
    {"JOHAB_CHARSET", 130},
    {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136},
    {"GREEK_CHARSET", 161},
    {"TURKISH_CHARSET", 162},
    {"VIETNAMESE_CHARSET", 163},
    {"HEBREW_CHARSET", 177},
    {"ARABIC_CHARSET", 178},
    {"BALTIC_CHARSET", 186},
    {"RUSSIAN_CHARSET", 204},
    {"THAI_CHARSET", 222},
    {"EASTEUROPE_CHARSET", 238},
    {"OEM_CHARSET", 255},
};

} // namespace

bool SameIdentifier(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

std::optional<std::size_t> IndexOfIdentifier(std::span<const std::string_view> names, std::string_view identifier)
{
    for (std::size_t i = 0; i < names.size(); ++i)
        if (SameIdentifier(names[i], identifier)) return i;
    return std::nullopt;
}

namespace {

template <typename Value>
std::optional<Value> ValueOf(std::span<const Named<Value>> table, std::string_view identifier)
{
    for (const auto& entry : table)
        if (SameIdentifier(entry.name, identifier)) return entry.value;
    return std::nullopt;
}

template <typename Value>
std::optional<std::string_view> NameOf(std::span<const Named<Value>> table, Value value)
{
    for (const auto& entry : table)
        if (entry.value == value) return entry.name;
    return std::nullopt;
}

} // namespace

std::optional<std::int32_t> ColorFromIdentifier(std::string_view identifier)
{
    return ValueOf<std::int32_t>(kColors, identifier);
}

std::optional<std::string_view> ColorIdentifier(std::int32_t color)
{
    return NameOf<std::int32_t>(kColors, color);
}

std::optional<std::uint8_t> CharsetFromIdentifier(std::string_view identifier)
{
    return ValueOf<std::uint8_t>(kCharsets, identifier);
}

std::optional<std::string_view> CharsetIdentifier(std::uint8_t charset)
{
    return NameOf<std::uint8_t>(kCharsets, charset);
}

} // namespace vl
