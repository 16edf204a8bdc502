// ctest: RESOURCE_LOCK product_state
// ctest-trust: test root
// ctest-wow64: run
#include "support/widget_utility.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "support/product_registry.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"
#include "tables/portable/endpoint_table.h"
#include "tables/portable/message_table.h"

using namespace vl;
using vl::test::BuildFile;
using vl::test::TempFolder;

namespace {

// The sample program carries the version resource 1.2.3.40.
const std::wstring kVersionedFile = BuildFile(L"sign_sample.exe");

std::wstring OwnExecutable()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Test values of the product key, removed again afterwards.
class ProductValues : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const wchar_t* name : {L"TestInteger", L"TestString", L"TestMissing"}) DeleteProductValue(name);
    }
};

} // namespace

TEST(WidgetUtility, KernelVersionIsTheVersionOfTheKernelInTheHomeFolder)
{
    CVLWidgetUtility utility(L"vorlink! ActiveX");
    const std::wstring home = utility.GetHomeFolder();
    ::CreateDirectoryW(home.c_str(), nullptr);
    const std::wstring kernel = home + L"\\VLWidgetKernel.exe";
    const std::wstring saved = home + L"\\VLWidgetKernel.exe.saved";
    const bool hadKernel = ::MoveFileExW(kernel.c_str(), saved.c_str(), MOVEFILE_REPLACE_EXISTING);

    EXPECT_EQ(utility.GetKernelVersion(), L"");
    ASSERT_TRUE(::CopyFileW(kVersionedFile.c_str(), kernel.c_str(), FALSE));
    EXPECT_EQ(utility.GetKernelVersion(), L"1.2.3.40");

    ::DeleteFileW(kernel.c_str());
    if (hadKernel) ::MoveFileExW(saved.c_str(), kernel.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// Versions are read once per file: a file put in place of another, as the updater puts a
// new kernel, is read again, also by a utility of another page.
TEST(WidgetUtility, AFileReplacedAtTheSamePathIsReadAgain)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"VLWidgetKernel.exe");
    const struct {
        const wchar_t* source;
        const wchar_t* version;
    } files[] = {
        {L"tools/kernel/VLWidgetKernel_1_0_0_9.exe", L"1.0.0.9"},
        {L"tools/kernel/VLWidgetKernel_1_0_0_10.exe", L"1.0.0.10"},
        {L"sign_sample.exe", L"1.2.3.40"},
        {L"tools/kernel/VLWidgetKernel_1_0_0_9.exe", L"1.0.0.9"},
    };
    for (const auto& file : files) {
        ::DeleteFileW(path.c_str());
        ASSERT_TRUE(::CopyFileW(BuildFile(file.source).c_str(), path.c_str(), FALSE)) << file.version;
        EXPECT_EQ(CVLWidgetUtility(L"first page").GetFileVersion(path), file.version);
        EXPECT_EQ(CVLWidgetUtility(L"second page").GetFileVersion(path), file.version);
    }
}

TEST(WidgetUtility, FileVersionIsEmptyWithoutAFileOrVersionInformation)
{
    TempFolder folder;
    CVLWidgetUtility utility(L"c");
    EXPECT_EQ(utility.GetFileVersion(kVersionedFile), L"1.2.3.40");
    EXPECT_EQ(utility.GetFileVersion(OwnExecutable()), L"");
    EXPECT_EQ(utility.GetFileVersion(folder.File(L"missing.exe")), L"");
    EXPECT_EQ(utility.GetFileVersion(folder.Path()), L"");
    EXPECT_EQ(utility.GetFileVersion(L""), L"");
}

TEST(WidgetUtility, FindsFilesFoldersAndWildcardMatchesButNoPathOutsideTheCodePage)
{
    TempFolder folder;
    CVLWidgetUtility utility(L"c");
    EXPECT_TRUE(utility.IsFileFound(folder.Path()));
    EXPECT_TRUE(utility.IsFileFound(kVersionedFile));
    EXPECT_TRUE(utility.IsFileFound(BuildFile(L"sign_sample*.exe")));
    EXPECT_FALSE(utility.IsFileFound(folder.File(L"missing.exe")));
    EXPECT_FALSE(utility.IsFileFound(L""));

    // Its ANSI form would be "a?b.txt", a pattern that finds the neighbour "axb.txt".
    const std::wstring unrepresentable = folder.File(L"a\x4e2d" L"b.txt");
    const UniqueHandle created(::CreateFileW(unrepresentable.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                             nullptr));
    ASSERT_TRUE(created.valid());
    const UniqueHandle neighbour(::CreateFileW(folder.File(L"axb.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(neighbour.valid());
    EXPECT_FALSE(utility.IsFileFound(unrepresentable));
}

TEST_F(ProductValues, IntegersAreReadOnlyFromDoubleWords)
{
    ASSERT_TRUE(WriteProductInteger(L"TestInteger", 4242));
    ASSERT_TRUE(WriteProductString(L"TestString", L"17"));
    CVLWidgetUtility utility(L"c");
    EXPECT_EQ(utility.ReadRegInteger(L"TestInteger"), 4242);
    EXPECT_EQ(utility.ReadRegInteger(L"TestMissing"), 0);
    EXPECT_EQ(utility.ReadRegInteger(L"TestString"), 0);
}

TEST_F(ProductValues, StringsAreReadWrittenAndDeleted)
{
    ASSERT_TRUE(WriteProductString(L"TestString", L"Develop"));
    ASSERT_TRUE(WriteProductInteger(L"TestInteger", 1));
    EXPECT_EQ(ReadProductString(L"TestString"), L"Develop");
    EXPECT_EQ(ReadProductString(L"TestInteger"), L"");
    EXPECT_EQ(ReadProductString(L"TestMissing"), L"");

    EXPECT_TRUE(DeleteProductValue(L"TestString"));
    EXPECT_EQ(ReadProductString(L"TestString"), L"");
    EXPECT_TRUE(DeleteProductValue(L"TestString"));
}

TEST(WidgetUtility, TextsAndEndpointsFollowTheStoredRegionValue)
{
    CVLWidgetUtility utility(L"c");
    EXPECT_EQ(utility.GetRegionValue(), L"");
    EXPECT_EQ(utility.GetMessageText(38), L"");
    EXPECT_EQ(utility.GetEndpoint(2), L"");

    utility.SetRegionValue(L"TW;Production");
    EXPECT_EQ(utility.GetMessageText(38), LookupMessageText(L"TW;Production", 38));
    EXPECT_NE(utility.GetMessageText(38), L"");
    EXPECT_NE(utility.GetEndpoint(2), L"");
    EXPECT_EQ(utility.GetEndpoint(13), LookupEndpoint(L"TW;Production", 13));
    EXPECT_EQ(utility.GetEndpoint(14), L"");
    EXPECT_EQ(utility.GetEndpoint(-1), L"");
}

TEST(WidgetUtility, LooksUpMessageFields)
{
    CVLWidgetUtility utility(L"c");
    EXPECT_EQ(utility.GetKeyValue(L"Key=UpdateStatus&&&&Value=42", L"Value"), L"42");
    EXPECT_EQ(utility.GetKeyValue(L"Key=UpdateStatus", L"Value"), L"");
}

TEST(WidgetUtility, ShowsTheErrorBoxUnderItsNameUntilClosed)
{
    const std::wstring caption = L"vorlink! ActiveX (VLServiceAdapterImpl:2121)";
    const DWORD testThread = ::GetCurrentThreadId();
    HWND box = nullptr;
    HWND owner = nullptr;
    wchar_t text[256] = {};
    std::thread closer([&] {
        for (int attempt = 0; attempt < 200 && !box; ++attempt) {
            ::Sleep(50);
            box = ::FindWindowW(L"#32770", caption.c_str());
        }
        if (!box) {
            // Ends the box's modal loop so that a missing box fails instead of hanging.
            ::PostThreadMessageW(testThread, WM_QUIT, 0, 0);
            return;
        }
        owner = ::GetWindow(box, GW_OWNER);
        ::GetDlgItemTextW(box, 0xFFFF, text, 256);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    CVLWidgetUtility utility(L"vorlink! ActiveX");
    utility.ShowErrorBox(L"The signature of VLUpdate.exe is invalid.", L"C:\\src\\VLServiceAdapterImpl.cpp", 2121);
    closer.join();

    ASSERT_NE(box, nullptr);
    EXPECT_EQ(owner, nullptr);
    EXPECT_STREQ(text, L"The signature of VLUpdate.exe is invalid.");
    EXPECT_FALSE(::IsWindow(box));
}
