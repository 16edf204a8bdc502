#include "support/portable/shown_text.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(ShownText, NeverSplitsASurrogatePair)
{
    // U+1F600 as UTF-16; natively wchar_t holds it whole and nothing is split anyway.
    const std::wstring text = std::wstring(L"abcd") + wchar_t(0xD83D) + wchar_t(0xDE00) + L"xyz";
    const std::wstring shown = ShownText(text, 8);
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), L"...");
    EXPECT_NE(shown[shown.size() - 4], wchar_t(0xD83D));
}
