#include "tables/portable/message_table.h"
#include "message_table_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vl;

namespace {

constexpr const wchar_t* kChineseRegions[] = {L"TW;Production", L"HK;Production", L"CN;Production"};

// The printf conversions and line feeds of a text, in order: what a caller's arguments
// and the layout of a message box depend on.
std::vector<std::wstring> FormatSkeleton(const std::wstring& text)
{
    std::vector<std::wstring> skeleton;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n') {
            skeleton.emplace_back(L"\n");
        } else if (text[i] == L'%') {
            const auto end = text.find_first_not_of(L"-+ #0123456789.lh", i + 1);
            skeleton.push_back(text.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i + 1));
            if (end != std::wstring::npos) i = end;
        }
    }
    return skeleton;
}

} // namespace

// Every cell of every language row, blanks and characters exactly; Hong Kong reads the
// Taiwan row.
TEST(MessageTableText, EveryCellOfEveryLanguageIsPinned)
{
    const struct {
        const wchar_t* region;
        const wchar_t* const* texts;
    } rows[] = {{L"US;Production", test::kEnglishTexts},
                {L"TW;Production", test::kTraditionalChineseTexts},
                {L"HK;Production", test::kTraditionalChineseTexts},
                {L"CN;Production", test::kSimplifiedChineseTexts}};
    for (const auto& row : rows)
        for (int id = 0; id < kMessageCount; ++id)
            EXPECT_EQ(LookupMessageText(row.region, id), row.texts[id]) << testing::PrintToString(row.region) << " id " << id;
}

TEST(MessageTableText, TextsKeepTheirExactBlanksAndCharacters)
{
    EXPECT_EQ(LookupMessageText(L"TW;Production", kSignatureErrorMessage),
              L"檢查到檔案數位簽章錯誤，請洽客服人員。");
    EXPECT_EQ(LookupMessageText(L"CN;Production", kSignatureErrorMessage),
              L"检查到档案数字签名错误，请洽客服人员。");
    EXPECT_EQ(LookupMessageText(L"TW;Production", 12), L"連線逾時，請稍後再試。");
    // The Chinese rows spell the copyright sign in ASCII.
    EXPECT_EQ(LookupMessageText(L"US;Production", 52).substr(0, 7), L"\u00A9 2010 ");
    for (const wchar_t* region : kChineseRegions)
        EXPECT_EQ(L"\u00A9" + LookupMessageText(region, 52).substr(3), LookupMessageText(L"US", 52)) << region;
}

TEST(MessageTableText, ChineseTextsKeepThePlaceholdersAndLineFeedsOfTheEnglishOnes)
{
    for (int id = 0; id < kMessageCount; ++id) {
        const std::wstring english = LookupMessageText(L"US", id);
        ASSERT_FALSE(english.empty()) << id;
        for (const wchar_t* region : kChineseRegions) {
            const std::wstring text = LookupMessageText(region, id);
            EXPECT_FALSE(text.empty()) << id;
            if (id == 39) {
                // The only Chinese text that breaks a line the English one runs on.
                EXPECT_EQ(FormatSkeleton(text), std::vector<std::wstring>{L"\n"});
                continue;
            }
            EXPECT_EQ(FormatSkeleton(text), FormatSkeleton(english)) << "id " << id << " in " << region;
            // A text left untranslated is a fault, except the names that read alike everywhere.
            if (id != 0 && id != 2 && id != 54) {
                EXPECT_NE(text, english) << "id " << id;
            }
        }
    }
    EXPECT_EQ(FormatSkeleton(LookupMessageText(L"US", 17)),
              (std::vector<std::wstring>{L"%d", L"%d", L"%d", L"%d"}));
    EXPECT_EQ(FormatSkeleton(LookupMessageText(L"US", 30)), (std::vector<std::wstring>{L"\n", L"\n"}));
}

TEST(MessageTableText, NamesReadTheSameInEveryLanguage)
{
    for (const wchar_t* region : {L"US", L"TW", L"HK", L"CN"}) {
        EXPECT_EQ(LookupMessageText(region, kKernelWindowTitleMessage), L"VLWKernel");
        EXPECT_EQ(LookupMessageText(region, 2), L"VLTitlePilot");
        EXPECT_EQ(LookupMessageText(region, 54), L"* Title Pilot (Build %s)");
    }
}

TEST(MessageTableLookup, HongKongReadsTheTaiwanTexts)
{
    for (int id = 0; id < kMessageCount; ++id)
        EXPECT_EQ(LookupMessageText(L"HK;Production", id), LookupMessageText(L"TW;Production", id)) << id;
    EXPECT_NE(LookupMessageText(L"TW;Production", 3), LookupMessageText(L"CN;Production", 3));
}

TEST(MessageTableLookup, ChoosesTheLanguageByContainmentUsFirst)
{
    const std::wstring english = LookupMessageText(L"US;Production", 24);
    const std::wstring traditional = LookupMessageText(L"TW;Production", 24);
    EXPECT_EQ(english, L"Exit vorlink!");
    EXPECT_EQ(LookupMessageText(L"TW;US", 24), english);
    EXPECT_EQ(LookupMessageText(L"TW", 24), traditional);
    EXPECT_EQ(LookupMessageText(L"xxTWxx", 24), traditional);
    EXPECT_EQ(LookupMessageText(L"HK;CN", 24), traditional);
    EXPECT_EQ(LookupMessageText(L"CN;Develop", 24), L"退出 vorlink!");
    // Case matters: a lower-case code is no code.
    EXPECT_EQ(LookupMessageText(L"tw;Production", 24), L"");
}

TEST(MessageTableLookup, UnknownRegionOrIdGivesTheEmptyText)
{
    for (int id = -1; id <= kMessageCount; ++id) {
        EXPECT_EQ(LookupMessageText(L"", id), L"") << id;
        EXPECT_EQ(LookupMessageText(L"JP;Production", id), L"") << id;
    }
    for (const wchar_t* region : {L"US", L"TW", L"HK", L"CN"}) {
        EXPECT_EQ(LookupMessageText(region, kMessageCount), L"");
        EXPECT_EQ(LookupMessageText(region, -1), L"");
    }
}
