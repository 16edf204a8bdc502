// The stand-in updater installing kernels from a folder, as the adapter's update tests use it.
// ctest: RESOURCE_LOCK product_state
// ctest-twin: skip
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/portable/home_folder.h"
#include "support/product_registry.h"
#include "fixtures/product_state.h"
#include "fixtures/child_process.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"
#include "support/widget_utility.h"

using namespace vl;
using namespace vl::test;

namespace {

constexpr DWORD kRunMs = 20000;

class StandInUpdater : public ::testing::Test {
protected:
    void SetUp() override { ResetProductState(); }
    void TearDown() override { ResetProductState(); }

    // Runs the updater to its end; its exit code, or STILL_ACTIVE when it did not end.
    static DWORD Update(const std::wstring& parameters, const std::wstring& source)
    {
        ChildProcess updater(BuildFile(L"tools/updater/VLUpdate.exe"), parameters, {{{L"VL_UPDATER_SOURCE", source}}});
        EXPECT_TRUE(updater.Started());
        updater.WaitForExit(kRunMs);
        return updater.ExitCode();
    }

    static std::wstring InstalledVersion() { return CVLWidgetUtility(L"test").GetKernelVersion(); }
    static std::wstring Progress() { return ReadProductString(L"Progress"); }

    const std::wstring m_kernels = BuildFile(L"tools/kernel");
};

TEST_F(StandInUpdater, EachCopyCarriesItsOwnVersion)
{
    CVLWidgetUtility utility(L"test");
    EXPECT_EQ(utility.GetFileVersion(BuildFile(L"tools/updater/VLUpdate.exe")), L"2.0.1.7");
    EXPECT_EQ(utility.GetFileVersion(BuildFile(L"tools/updater/VLUpdate_2_0_1_7.exe")), L"2.0.1.7");
    EXPECT_EQ(utility.GetFileVersion(BuildFile(L"tools/updater/VLUpdate_2_0_1_6.exe")), L"2.0.1.6");
    EXPECT_EQ(utility.GetFileVersion(BuildFile(L"tools/kernel/VLWidgetKernel.exe")), L"1.0.0.10");
}

TEST_F(StandInUpdater, InstallsTheRequiredKernelVersionAndReportsIt)
{
    ASSERT_EQ(Update(L"TW;Production 1.0.0.9", m_kernels), 0u) << Progress();
    EXPECT_EQ(Progress(), L"Status=Done&&&&Version=1.0.0.9");
    EXPECT_EQ(InstalledVersion(), L"1.0.0.9");

    // An update replaces the kernel that is there.
    ASSERT_EQ(Update(L"TW;Production 1.0.0.10", m_kernels), 0u) << Progress();
    EXPECT_EQ(InstalledVersion(), L"1.0.0.10");
    EXPECT_EQ(::GetFileAttributesW(JoinPath(HomeFolder(), L"VLWidgetKernel.exe.new").c_str()),
              INVALID_FILE_ATTRIBUTES);
}

TEST_F(StandInUpdater, LeavesThePresentKernelWhenTheFetchedOneIsNotTheRequiredVersion)
{
    ASSERT_TRUE(InstallIntoHome(L"tools/kernel/VLWidgetKernel_1_0_0_9.exe", L"VLWidgetKernel.exe"));
    TempFolder source;
    ASSERT_TRUE(::CopyFileW(BuildFile(L"tools/kernel/VLWidgetKernel.exe").c_str(),
                            source.File(L"VLWidgetKernel_1_0_0_11.exe").c_str(), FALSE));
    EXPECT_EQ(Update(L"TW;Production 1.0.0.11", source.Path()), 1u);
    EXPECT_EQ(Progress(), L"Status=Failed&&&&Reason=The fetched file has version 1.0.0.10, not 1.0.0.11");
    EXPECT_EQ(InstalledVersion(), L"1.0.0.9");
    EXPECT_EQ(::GetFileAttributesW(JoinPath(HomeFolder(), L"VLWidgetKernel.exe.new").c_str()),
              INVALID_FILE_ATTRIBUTES);
}

TEST_F(StandInUpdater, ReportsWhyItFailed)
{
    EXPECT_EQ(Update(L"TW;Production 1.0.0.12", m_kernels), 1u);
    EXPECT_EQ(Progress().rfind(L"Status=Failed&&&&Reason=Cannot read ", 0), 0u) << Progress();

    EXPECT_EQ(Update(L"TW;Production", m_kernels), 1u);
    EXPECT_EQ(Progress(), L"Status=Failed&&&&Reason=Expected the region value and the kernel version");

    EXPECT_EQ(Update(L"TW;Production 1.0.x.10", m_kernels), 1u);
    EXPECT_EQ(Progress(), L"Status=Failed&&&&Reason=Not a version: 1.0.x.10");

    // Without a source folder the file comes from the region's patch base, which this region has not.
    EXPECT_EQ(Update(L"JP;Production 1.0.0.10", L""), 1u);
    EXPECT_EQ(Progress(), L"Status=Failed&&&&Reason=No patch base for the region JP;Production");
    EXPECT_EQ(InstalledVersion(), L"");
}

} // namespace
