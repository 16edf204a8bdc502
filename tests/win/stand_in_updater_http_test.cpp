// The stand-in updater fetching kernels over HTTP from the region's patch base, served by
// the test network's patch server.
// ctest: RESOURCE_LOCK product_state
// ctest-netns: --short-body-for VLWidgetKernel_1_0_0_7.exe --slow-for VLWidgetKernel_1_0_0_8.exe --slow-delay-ms 1
// ctest-twin: skip
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fixtures/patch_root.h"
#include "support/product_registry.h"
#include "fixtures/product_state.h"
#include "fixtures/child_process.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"
#include "support/widget_utility.h"
#include "tables/portable/endpoint_table.h"

using namespace vl;
using namespace vl::test;

namespace {

const std::wstring kRegion = L"TW;Production";

std::wstring PatchUrl(const std::wstring& name)
{
    return LookupEndpoint(kRegion, kPatchBaseRole) + name;
}

class StandInUpdaterHttp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(PatchRoot().empty()) << "runs only in the test network (ctest)";
        ResetProductState();
    }
    void TearDown() override { ResetProductState(); }

    // Runs the updater to its end without a source folder; the distinct progress texts
    // seen on the way (sampled every few milliseconds), in order.
    static std::vector<std::wstring> Update(const std::wstring& version)
    {
        ChildProcess updater(BuildFile(L"tools/updater/VLUpdate.exe"), kRegion + L" " + version,
                             {{{L"VL_UPDATER_SOURCE", L""}}});
        EXPECT_TRUE(updater.Started());
        std::vector<std::wstring> seen;
        const DWORD start = ::GetTickCount();
        for (bool ended = false; !ended && ::GetTickCount() - start < 30000;) {
            ended = updater.WaitForExit(2);
            const std::wstring progress = ReadProductString(L"Progress");
            if (!progress.empty() && (seen.empty() || seen.back() != progress)) seen.push_back(progress);
        }
        EXPECT_TRUE(updater.WaitForExit(0));
        return seen;
    }

    // Publishes the 1.0.0.9 kernel as `name` in the region's patch folder.
    static bool Publish(const std::wstring& name)
    {
        return PutPatchFile(PatchUrl(name), ReadFileBytes(BuildFile(L"tools/kernel/VLWidgetKernel_1_0_0_9.exe")));
    }

    static std::wstring Last(const std::vector<std::wstring>& progress)
    {
        return progress.empty() ? std::wstring() : progress.back();
    }

    static std::wstring InstalledVersion() { return CVLWidgetUtility(L"test").GetKernelVersion(); }
};

TEST_F(StandInUpdaterHttp, FetchesTheKernelFromThePatchBaseOfTheRegion)
{
    ASSERT_TRUE(Publish(L"VLWidgetKernel_1_0_0_9.exe"));
    EXPECT_EQ(Last(Update(L"1.0.0.9")), L"Status=Done&&&&Version=1.0.0.9");
    EXPECT_EQ(InstalledVersion(), L"1.0.0.9");
    const auto requests = PatchRequests();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [](const std::string& request) {
        return request.rfind("GET /vorlink05/VLWidgetKernel_1_0_0_9.exe ", 0) == 0;
    }));
}

TEST_F(StandInUpdaterHttp, ReportsTheShareReceivedWhileItDownloads)
{
    ASSERT_TRUE(Publish(L"VLWidgetKernel_1_0_0_8.exe"));
    const auto progress = Update(L"1.0.0.8");
    EXPECT_EQ(Last(progress), L"Status=Done&&&&Version=1.0.0.8");
    int last = -1;
    int between = 0;
    for (const auto& text : progress) {
        const auto at = text.find(L"Percent=");
        if (at == std::wstring::npos) continue;
        const int percent = std::stoi(text.substr(at + 8));
        EXPECT_GT(percent, last) << "progress went back";
        last = percent;
        between += percent > 0 && percent < 100;
    }
    EXPECT_GT(between, 0) << "no share between 0 and 100 was reported";
}

TEST_F(StandInUpdaterHttp, FailsWithoutInstallingOnAShortOrMissingFile)
{
    ASSERT_TRUE(Publish(L"VLWidgetKernel_1_0_0_7.exe"));
    const std::wstring shortBody = Last(Update(L"1.0.0.7"));
    EXPECT_EQ(shortBody.rfind(L"Status=Failed&&&&Reason=", 0), 0u) << shortBody;
    EXPECT_EQ(Last(Update(L"1.0.0.6")),
              L"Status=Failed&&&&Reason=HTTP status 404 for " + PatchUrl(L"VLWidgetKernel_1_0_0_6.exe"));
    EXPECT_EQ(InstalledVersion(), L"");
}

} // namespace
