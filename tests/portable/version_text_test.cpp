#include "support/portable/version_text.h"

#include <gtest/gtest.h>

using namespace vl;

TEST(VersionTextCompare, ComparesNumberByNumberNotAsText)
{
    EXPECT_TRUE(CompareVersionTexts(L"1.2.3.4", L"1.2.3.10").older);
    EXPECT_FALSE(CompareVersionTexts(L"1.2.3.10", L"1.2.3.4").older);
    EXPECT_FALSE(CompareVersionTexts(L"2.0.0.0", L"1.9.9.9").older);
    EXPECT_TRUE(CompareVersionTexts(L"1.9.9.9", L"2.0.0.0").older);
    // The first differing part decides, whatever follows.
    EXPECT_TRUE(CompareVersionTexts(L"1.1.9.9", L"1.2.0.0").older);

    const VersionComparison equal = CompareVersionTexts(L"3.0.1.7", L"3.0.1.7");
    EXPECT_TRUE(equal.valid());
    EXPECT_FALSE(equal.older);
    EXPECT_FALSE(CompareVersionTexts(L"03.0.1.7", L"3.0.1.7").older);
}

TEST(VersionTextCompare, ComparesThePartsAsUnsignedNumbers)
{
    // -1 is the largest 32-bit pattern, so it is newer than any positive part.
    EXPECT_FALSE(CompareVersionTexts(L"1.-1.0.0", L"1.5.0.0").older);
    EXPECT_TRUE(CompareVersionTexts(L"1.5.0.0", L"1.-1.0.0").older);
    EXPECT_TRUE(CompareVersionTexts(L"1.0.0.$7FFFFFFF", L"1.0.0.$80000000").older);
}

TEST(VersionTextCompare, NamesTheFirstPartThatIsNoInteger)
{
    // A missing "." leaves an empty part.
    VersionComparison result = CompareVersionTexts(L"1.2.3", L"1.2.3.4");
    EXPECT_FALSE(result.valid());
    EXPECT_FALSE(result.older);
    EXPECT_EQ(result.error, L"'' is not a valid integer value");

    result = CompareVersionTexts(L"1.2.3.4", L"1.2.x.4");
    EXPECT_EQ(result.error, L"'x' is not a valid integer value");
    // Conversion comes before comparison: a malformed newer text fails even when the first
    // parts already differ.
    EXPECT_EQ(CompareVersionTexts(L"1.0.0.0", L"2.0.0.0b").error, L"'0b' is not a valid integer value");
    EXPECT_EQ(CompareVersionTexts(L"1.2.3.4.5", L"1.2.3.4").error, L"'4.5' is not a valid integer value");
    EXPECT_EQ(CompareVersionTexts(L"", L"1.2.3.4").error, L"'' is not a valid integer value");
    EXPECT_EQ(CompareVersionTexts(L"1.2.3.4294967295", L"1.2.3.4").error,
              L"'4294967295' is not a valid integer value");
}

TEST(VersionTextFormat, WritesTheFourWordsAsDecimals)
{
    EXPECT_EQ(FormatVersionText(0x00010002ul, 0x0003000Aul), L"1.2.3.10");
    EXPECT_EQ(FormatVersionText(0xFFFF0000ul, 0x0000FFFFul), L"65535.0.0.65535");
    EXPECT_EQ(FormatVersionText(0, 0), L"0.0.0.0");
}

TEST(TextToIntegerTest, AcceptsBlanksSignDecimalAndHexadecimal)
{
    EXPECT_EQ(TextToInteger(L"0"), 0);
    EXPECT_EQ(TextToInteger(L"  42"), 42);
    EXPECT_EQ(TextToInteger(L"+7"), 7);
    EXPECT_EQ(TextToInteger(L"-2147483648"), INT32_MIN);
    EXPECT_EQ(TextToInteger(L"2147483647"), INT32_MAX);
    EXPECT_EQ(TextToInteger(L"007"), 7);
    EXPECT_EQ(TextToInteger(L"$1f"), 31);
    EXPECT_EQ(TextToInteger(L"0X1F"), 31);
    EXPECT_EQ(TextToInteger(L"0x0"), 0);
    EXPECT_EQ(TextToInteger(L"-$10"), -16);
    // Hexadecimal may spell any 32-bit pattern.
    EXPECT_EQ(TextToInteger(L"$FFFFFFFF"), -1);
    EXPECT_EQ(TextToInteger(L"0x80000000"), INT32_MIN);
}

TEST(TextToIntegerTest, RefusesAnythingElse)
{
    for (const wchar_t* text : {L"", L"   ", L"+", L"-", L"$", L"0x", L"1 ", L"1.5", L"12a", L"\t1", L"x1", L"- 1",
                                L"2147483648", L"-2147483649", L"4294967295", L"$100000000", L"0x1FFFFFFFF",
                                L"99999999999999999999"}) {
        EXPECT_FALSE(TextToInteger(text)) << testing::PrintToString(std::wstring(text));
    }
}
