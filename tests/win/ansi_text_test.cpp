// Texts in the ANSI code page of systems of several languages, through the code page the
// control's conversions use: what a code page carries exactly, and what would change.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/ansi_text.h"
#include "fixtures/scoped_platform.h"
#include "support/platform_calls.h"

namespace {

template <UINT codePage>
UINT WINAPI SystemCodePage()
{
    return codePage;
}

class AnsiText : public ::testing::Test {
private:
    vl::test::ScopedPlatform m_platform;
};

} // namespace

TEST_F(AnsiText, TextThatWouldChangeHasNoExactForm)
{
    const struct {
        const char* system;
        UINT(WINAPI* codePage)();
        std::wstring text;
        bool exact;
    } cases[] = {
        {"Western", SystemCodePage<1252>, L"score \x00e9 ? \x20ac", true},
        {"Western, a best fit", SystemCodePage<1252>, L"\x0101", false},
        {"Western, Chinese", SystemCodePage<1252>, L"\x4E2D", false},
        {"Western, outside the plane", SystemCodePage<1252>, L"\xD83D\xDE00", false},
        {"Chinese", SystemCodePage<936>, L"\x4E2D\x6587 \x503C", true},
        {"Chinese, outside the plane", SystemCodePage<936>, L"\xD83D\xDE00", false},
        {"Japanese", SystemCodePage<932>, L"\x65E5\x672C", true},
        {"Japanese, Korean", SystemCodePage<932>, L"\xD55C", false},
        {"UTF-8", SystemCodePage<CP_UTF8>, L"\x00e9\x4E2D\xD83D\xDE00", true},
        {"UTF-8, half a pair", SystemCodePage<CP_UTF8>, L"a\xD83D", false},
        {"UTF-7", SystemCodePage<CP_UTF7>, L"\x00e9\x4E2D", true},
        {"nothing", SystemCodePage<1252>, L"", true},
    };
    for (const auto& c : cases) {
        vl::Platform().getACP = c.codePage;
        const std::optional<std::string> bytes = vl::ExactAnsi(c.text);
        EXPECT_EQ(bytes.has_value(), c.exact) << c.system;
        if (bytes) {
            EXPECT_EQ(vl::AnsiToWide(*bytes), c.text) << c.system;
        }
    }
}

TEST_F(AnsiText, TheLossyConversionStillGivesTheDefaultCharacter)
{
    vl::Platform().getACP = SystemCodePage<936>;
    EXPECT_EQ(vl::ExactAnsi(L"\x4E2D\x6587"), std::string("\xD6\xD0\xCE\xC4"));
    vl::Platform().getACP = SystemCodePage<1252>;
    EXPECT_EQ(vl::WideToAnsi(L"a\x4E2D"), "a?");
}
