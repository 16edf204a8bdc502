#include "support/portable/shown_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

using namespace vl;

namespace {

// One character as wchar_t holds it: a surrogate pair where wchar_t is UTF-16.
std::wstring Character(char32_t c)
{
    if (sizeof(wchar_t) == 4 || c < 0x10000) return std::wstring(1, static_cast<wchar_t>(c));
    c -= 0x10000;
    return {static_cast<wchar_t>(0xD800 + (c >> 10)), static_cast<wchar_t>(0xDC00 + (c & 0x3FF))};
}

} // namespace

TEST(ShownText, DropsWhatCouldHideOrDisguiseTheTextAndCutsItToItsBound)
{
    const struct {
        std::wstring text;
        std::size_t maxLength;
        std::wstring shown;
    } cases[] = {
        {L"HTTP/1.1 404 Not Found", 160, L"HTTP/1.1 404 Not Found"},
        {L"", 10, L""},
        // Escape sequences lose their escape, bells and backspaces go.
        {L"Error\x1b[2J\a\b\b!", 160, L"Error[2J!"},
        {std::wstring(L"tab\tnul\0end\x7f\x85\x9f", 14), 160, L"tabnulend"},
        // A right-to-left override would show "exe.txt" for "txt.exe"; zero-width and BOM go too.
        {L"a\u202Eb\u200Bc\u2066d\uFEFFe", 160, L"abcde"},
        // The Arabic letter mark, line and paragraph separators, soft hyphen, Mongolian
        // vowel separator, fillers, variation selectors, tags.
        {L"a\u061Cb\u2028c\u2029d\u00ADe\u180Ef\u3164g\uFFA0h\u115Fi\uFE0Fj" + Character(0xE0041) + L"k" +
             Character(0x1D173),
         160, L"abcdefghijk"},
        // Visible characters beyond the basic plane stay, and count as what they take.
        {L"ab" + Character(0x1F600) + L"c", 160, L"ab" + Character(0x1F600) + L"c"},
        // Cut: the bound holds the ellipsis; what was dropped does not count.
        {L"abcdefghij", 8, L"abcde..."},
        {L"abcdefgh", 8, L"abcdefgh"},
        {L"\a\a\aabcdefgh", 8, L"abcdefgh"},
        {L"abcdefghij", 2, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(ShownText(c.text, c.maxLength), c.shown) << c.maxLength;
}

// Both ends of every hidden range go; the characters just outside them stay.
TEST(ShownText, EachHiddenRangeEndsWhereItShould)
{
    const std::pair<char32_t, char32_t> hidden[] = {
        {0x0000, 0x001F}, {0x007F, 0x009F}, {0x00AD, 0x00AD}, {0x034F, 0x034F},   {0x061C, 0x061C},
        {0x115F, 0x1160}, {0x17B4, 0x17B5}, {0x180B, 0x180F}, {0x200B, 0x200F},   {0x2028, 0x202E},
        {0x2060, 0x206F}, {0x3164, 0x3164}, {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},
        {0xFFF0, 0xFFFB}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
    };
    const auto shown = [](char32_t c) { return ShownText(L"<" + Character(c) + L">", 160); };
    for (const auto& [first, last] : hidden) {
        EXPECT_EQ(shown(first), L"<>") << std::hex << std::uint32_t{first};
        EXPECT_EQ(shown(last), L"<>") << std::hex << std::uint32_t{last};
        if (first > 0) {
            EXPECT_EQ(shown(first - 1), L"<" + Character(first - 1) + L">") << std::hex << std::uint32_t{first} - 1;
        }
        EXPECT_EQ(shown(last + 1), L"<" + Character(last + 1) + L">") << std::hex << std::uint32_t{last} + 1;
    }
}

TEST(ShownText, NeverSplitsASurrogatePair)
{
    // U+1F600 as UTF-16; natively wchar_t holds it whole and nothing is split anyway.
    const std::wstring text = std::wstring(L"abcd") + wchar_t(0xD83D) + wchar_t(0xDE00) + L"xyz";
    const std::wstring shown = ShownText(text, 8);
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), L"...");
    EXPECT_NE(shown[shown.size() - 4], wchar_t(0xD83D));
}
