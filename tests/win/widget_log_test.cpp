#include "support/widget_log.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/temp_folder.h"

using namespace vl;
using vl::test::ReadFileBytes;
using vl::test::TempFolder;

namespace {

const std::string kStamp = R"(\[(\d\d):(\d\d):(\d\d)\.(\d{3})\]: )";

struct Record {
    int millisecondOfDay;
    std::string text;
};

// The records of a log file, split at their stamps.
std::vector<Record> ParseRecords(const std::string& content)
{
    std::vector<Record> records;
    const std::regex stamp(kStamp);
    auto it = std::sregex_iterator(content.begin(), content.end(), stamp);
    for (; it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        const int ms = ((std::stoi(m[1]) * 60 + std::stoi(m[2])) * 60 + std::stoi(m[3])) * 1000 + std::stoi(m[4]);
        if (!records.empty()) {
            std::string& previous = records.back().text;
            previous.resize(previous.size() - (content.size() - static_cast<std::size_t>(m.position(0))));
        }
        records.push_back({ms, content.substr(static_cast<std::size_t>(m.position(0) + m.length(0)))});
    }
    return records;
}

// The texts of the records of a log file, without their stamps.
std::vector<std::string> TextsOf(const std::wstring& fileName)
{
    std::vector<std::string> texts;
    for (const Record& record : ParseRecords(ReadFileBytes(fileName))) texts.push_back(record.text);
    return texts;
}

using Texts = std::vector<std::string>;

int MillisecondOfDay(const SYSTEMTIME& t)
{
    return ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

} // namespace

TEST(WidgetLog, WritesStampedNarrowRecordsInTextModeThatRunOnWithoutLineFeed)
{
    TempFolder folder;
    CVLWidgetLog log;
    ASSERT_TRUE(log.Open(folder.File(L"steps.log"), L"a"));
    SYSTEMTIME before;
    ::GetLocalTime(&before);
    EXPECT_TRUE(log.Print(L"    the older version is [%s] (%d)\n", L"1.2.3.4", 7));
    log.Print(L"no line feed");
    log.Print(L" [a%sb]\n", L"\x4e2d");
    SYSTEMTIME after;
    ::GetLocalTime(&after);

    const std::string content = ReadFileBytes(folder.File(L"steps.log"));
    EXPECT_TRUE(std::regex_match(content, std::regex(kStamp + R"(    the older version is \[1\.2\.3\.4\] \(7\)\r\n)" +
                                                     kStamp + "no line feed" + kStamp + R"( \[a\?b\]\r\n)")))
        << content;
    // A character the narrow form cannot hold becomes "?" and the record goes on.
    const auto records = ParseRecords(content);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_GE(records.front().millisecondOfDay, MillisecondOfDay(before));
    EXPECT_LE(records.back().millisecondOfDay, MillisecondOfDay(after));
}

TEST(WidgetLog, KeepsTheOrderOfCallsWithinOneMillisecond)
{
    TempFolder folder;
    CVLWidgetLog log;
    ASSERT_TRUE(log.Open(folder.File(L"order.log"), L"w"));
    constexpr int kCount = 500;
    for (int i = 0; i < kCount; ++i) log.Print(L"%d\n", i);

    const auto records = ParseRecords(ReadFileBytes(folder.File(L"order.log")));
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kCount));
    int sharedStamps = 0;
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(records[i].text, std::to_string(i) + "\r\n");
        if (i > 0) {
            EXPECT_GE(records[i].millisecondOfDay, records[i - 1].millisecondOfDay);
            sharedStamps += records[i].millisecondOfDay == records[i - 1].millisecondOfDay;
        }
    }
    EXPECT_GT(sharedStamps, 0);
}

TEST(WidgetLog, WritesNothingWhileTheFileCannotBeCreatedAndReopensLater)
{
    TempFolder folder;
    const std::wstring missingFolder = folder.File(L"Log");
    const std::wstring fileName = missingFolder + L"\\control.log";
    CVLWidgetLog log;
    EXPECT_FALSE(log.Open(fileName, L"a"));
    EXPECT_FALSE(log.Print(L"lost\n"));
    EXPECT_FALSE(log.Print(L"lost too\n"));
    EXPECT_EQ(::GetFileAttributesW(missingFolder.c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(::CreateDirectoryW(missingFolder.c_str(), nullptr));
    EXPECT_TRUE(log.Print(L"kept\n"));
    EXPECT_EQ(TextsOf(fileName), Texts{"kept\r\n"});
}

TEST(WidgetLog, ReopensAClosedFileForAppendingAndLeavesAFileItSwitchedFrom)
{
    TempFolder folder;
    CVLWidgetLog log;
    ASSERT_TRUE(log.Open(folder.File(L"first.log"), L"w"));
    log.Print(L"one\n");
    log.Close();
    log.Print(L"two\n");
    ASSERT_TRUE(log.Open(folder.File(L"second.log"), L"w"));
    log.Print(L"three\n");

    EXPECT_EQ(TextsOf(folder.File(L"first.log")), (Texts{"one\r\n", "two\r\n"}));
    EXPECT_EQ(TextsOf(folder.File(L"second.log")), Texts{"three\r\n"});
}

TEST(WidgetLog, CutsATextLongerThanItsBufferAndKeepsWriting)
{
    TempFolder folder;
    CVLWidgetLog log;
    ASSERT_TRUE(log.Open(folder.File(L"long.log"), L"w"));
    const std::wstring longText(3 * CVLWidgetLog::kTextCapacity, L'x');
    log.Print(L"%s%s", longText.c_str(), L"never written\n");
    log.Print(L"after\n");

    EXPECT_EQ(TextsOf(folder.File(L"long.log")),
              (Texts{std::string(CVLWidgetLog::kTextCapacity - 1, 'x'), "after\r\n"}));
}

TEST(WidgetLog, RecordsFromSeveralThreadsStayWholeAndInEachThreadsOrder)
{
    TempFolder folder;
    CVLWidgetLog log;
    // Not opened: the threads' first records race to open the file.
    log.Open(folder.File(L"missing\\x.log"), L"a");
    ASSERT_TRUE(::CreateDirectoryW(folder.File(L"missing").c_str(), nullptr));
    constexpr int kThreads = 4;
    constexpr int kRecords = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kRecords; ++i) log.Print(L"thread %d record %d\n", t, i);
        });
    for (auto& thread : threads) thread.join();

    const auto records = ParseRecords(ReadFileBytes(folder.File(L"missing\\x.log")));
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kThreads * kRecords));
    int next[kThreads] = {};
    const std::regex line(R"(thread (\d) record (\d+)\r\n)");
    for (const Record& record : records) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(record.text, m, line)) << record.text;
        const int t = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next[t]++);
    }
}

namespace {
int g_evaluations = 0;
int Counted()
{
    return ++g_evaluations;
}
} // namespace

TEST(WidgetLog, StatementsWriteOnlyWhileAWriterIsInstalled)
{
    TempFolder folder;
    CVLWidgetLog log;
    ASSERT_TRUE(log.Open(folder.File(L"statements.log"), L"w"));
    ASSERT_EQ(g_pWidgetLog, nullptr);

    VL_LOG(L"skipped %d\n", Counted());
    EXPECT_EQ(g_evaluations, 0);
    g_pWidgetLog = &log;
    VL_LOG(L"written %d\n", Counted());
    g_pWidgetLog = nullptr;
    VL_LOG(L"skipped again\n");

    EXPECT_EQ(TextsOf(folder.File(L"statements.log")), Texts{"written 1\r\n"});
}

// A value cannot forge a record: what it brings along in control characters is written as
// "?", and only the text's own last line feed ends the line.
TEST(WidgetLog, ValuesCannotStartARecordOfTheirOwn)
{
    TempFolder folder;
    CVLWidgetLog log;
    ASSERT_TRUE(log.Open(folder.File(L"steps.log"), L"w"));
    log.Print(L"refused a call of the page [%s].\n", L"http://x/\r\n[00:00:00.000]: forged\ttab\x7f");
    log.Close();
    const std::string line = ReadFileBytes(folder.File(L"steps.log"));
    EXPECT_EQ(line.find("\r\n"), line.size() - 2) << line;
    EXPECT_NE(line.find("]: refused a call of the page [http://x/??[00:00:00.000]: forged?tab?].\r\n"),
              std::string::npos)
        << line;
}

// A bounded log keeps one older file: the record that reaches the bound ends the file,
// which replaces the older one, and the next record starts a new file.
TEST(WidgetLog, ABoundedLogRotatesOnceItReachesItsBound)
{
    TempFolder folder;
    const std::wstring current = folder.File(L"steps.log"), older = folder.File(L"steps.old.log");
    CVLWidgetLog log;
    log.SetSizeLimit(100, older);
    ASSERT_TRUE(log.Open(current, L"a"));
    const std::wstring text(40, L'x');
    for (int i = 1; i <= 7; ++i) log.Print(L"%d %s\n", i, text.c_str());
    log.Close();
    // 60 bytes a record: records 1 and 2 make the first file, 3 and 4 the second, which
    // replaced it, 5 and 6 the third, which replaced that; 7 is the current file's.
    const Texts olderTexts = TextsOf(older);
    ASSERT_EQ(olderTexts.size(), 2u);
    EXPECT_EQ(olderTexts[0].substr(0, 2), "5 ");
    EXPECT_EQ(TextsOf(current), (Texts{"7 " + std::string(40, 'x') + "\r\n"}));
}
