// The service core without the control: its container and events are the test's, its
// requests reach the stand-in kernel, the kernel's own messages come back as OnResult, and
// the install page goes to the container.
// ctest: RESOURCE_LOCK product_state
// ctest-trust: test root
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "adapter/service_core.h"
#include "com_server/Vlserviceadapter_tlb.h"
#include "support/platform_calls.h"
#include "fixtures/adapter_fixture.h"
#include "fixtures/product_state.h"
#include "fixtures/scoped_platform.h"
#include "support/timer_window.h"

using namespace vl::test;

namespace {

constexpr const wchar_t* kPortalPage = L"http://www.vorlink.com/index.html";

// A call's result as the page sees it, a number or a text; "failed" for a failed call.
std::wstring Shown(const vl::PageAnswer& answer)
{
    if (answer.failed) return L"failed";
    if (const auto* number = std::get_if<std::uint32_t>(&answer.result)) return std::to_wstring(*number);
    return std::get<std::wstring>(answer.result);
}

// The container and event receiver of one core, recording what the core asks of it.
class RecordingContainer final : public vl::IServiceContainer, public vl::IServiceEvents {
public:
    std::wstring PageAddress() override { return kPortalPage; }
    vl::PatchHttp& UpdaterHttp() override { return m_http; }
    bool ShowsErrorBoxes() override { return false; }
    void OpenInstallPage(const std::wstring& address, const std::wstring&) override { installPages.push_back(address); }
    void Hold() override { ++holds; }
    void Unhold() override { --holds; }
    void OnResult(ULONG cmd, ULONG serial, const std::wstring& params) override
    {
        results.push_back(std::to_wstring(cmd) + L" " + std::to_wstring(serial) + L" " + params);
    }

    std::vector<std::wstring> installPages;
    std::vector<std::wstring> results;
    int holds = 0;

private:
    vl::PatchHttp m_http;
};

// The user's answer to the elevation prompt: no.
BOOL WINAPI RefusedElevation(SHELLEXECUTEINFOW*)
{
    ::SetLastError(ERROR_CANCELLED);
    return FALSE;
}

class ServiceCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProductState();
        // Made after the reset: the core reads development mode when it is made.
        core = vl::ServiceCore::Create(container, container);
        RecordShellStarts(true);
        ASSERT_TRUE(core);
        core->OnCallAllowed();
    }
    void TearDown() override
    {
        EXPECT_EQ(container.holds, 0);
        ResetProductState();
    }

    RecordingContainer container;
    std::unique_ptr<vl::ServiceCore> core;

private:
    ScopedPlatform m_platform;
};

} // namespace

TEST_F(ServiceCoreTest, RequestsReachTheStandInKernelAndItsMessagesComeBackAsEvents)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    ASSERT_EQ(Shown(core->Initialize(L"TW;Production", L"1.0.0.10")), L"0");
    EXPECT_EQ(core->PageAddressForTesting(), kPortalPage);

    // Each call as the result the page sees: a number, or a text.
    const struct {
        const char* what;
        std::function<vl::PageAnswer()> call;
        std::wstring expected;
    } steps[] = {
        {"save", [&] { return core->SaveData(L"score", L"42"); }, L"0"},
        {"load", [&] { return core->LoadData(L"score"); }, L"42"},
        {"clear", [&] { return core->ClearData(L"score"); }, L"0"},
        {"load cleared", [&] { return core->LoadData(L"score"); }, L""},
        {"region", [&] { return core->CheckRegionInfo(); }, L"0"},
        {"progress", [&] { return core->LoadData(L"UpdateStatus"); }, L"Status=Waiting"},
        {"command", [&] { return core->SendCommand(2, 77, L"hello"); }, L"0"},
    };
    for (const auto& step : steps) EXPECT_EQ(Shown(step.call()), step.expected) << step.what;
    ASSERT_TRUE(PumpUntil([&] { return !container.results.empty(); }, 3000));
    EXPECT_EQ(container.results, std::vector<std::wstring>{L"2 77 Echo=hello"});

    core->Uninitialize();
    EXPECT_EQ(core->ReadPipeForTesting(), nullptr);
    EXPECT_TRUE(container.installPages.empty());
}

TEST_F(ServiceCoreTest, AnOutdatedKernelIsTheContainersToUpdateThroughTheInstallPage)
{
    const struct {
        const char* what;
        std::wstring clientSite;
        ULONG result;
        std::vector<std::wstring> installPages;
    } cases[] = {
        {"a portal page", kPortalPage, VLS_HAVE_TO_UPDATE, {L"http://tw.vorlink.com/vorlink_block/install.aspx"}},
        {"no page", L"", VLS_FAIL, {}},
    };
    for (const auto& c : cases) {
        container.installPages.clear();
        RecordedStarts().clear();
        const vl::PageAnswer answer = core->Initialize2(L"TW;Production", L"1.0.0.10", L"any", 30, c.clientSite);
        EXPECT_FALSE(answer.failed) << c.what;
        EXPECT_EQ(answer.result, vl::PageResult{c.result}) << c.what;
        EXPECT_EQ(container.installPages, c.installPages) << c.what;
        // No browser of the core's own: opening the page is the container's.
        EXPECT_TRUE(RecordedStarts().empty()) << c.what;
    }
}

// A program that did not start fails the call at once: no update runs, and no kernel
// window can come.
TEST_F(ServiceCoreTest, AStartRefusedAtTheElevationPromptFailsAtOnce)
{
    vl::Platform().shellExecuteEx = RefusedElevation;
    const struct {
        std::wstring program;
        std::wstring shown;
    } cases[] = {{L"VLWidgetKernel.exe", L"failed"}, {L"VLUpdate.exe", L"1"}};
    for (const auto& c : cases) {
        ResetProductState();
        ASSERT_TRUE(InstallIntoHome(L"signed/" + c.program, c.program));
        const DWORD begin = ::GetTickCount();
        const vl::PageAnswer answer = core->Initialize2(L"TW;Production", L"1.0.0.10", L"any", 30, kPortalPage);
        EXPECT_EQ(Shown(answer), c.shown) << c.program;
        EXPECT_LT(::GetTickCount() - begin, 5000u) << c.program;
        EXPECT_TRUE(container.installPages.empty()) << c.program;
    }
}

// The core's pump timer: off when made, then a tick about every 100 ms while it is on.
TEST(PumpTimer, TicksAboutEveryHundredMillisecondsOnlyWhileEnabled)
{
    const auto pump = vl::TimerWindow::Create();
    ASSERT_TRUE(pump);
    vl::FormTimer& timer = pump->Timer();
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 100u);
    std::vector<DWORD> ticks;
    timer.OnTimer = [&] { ticks.push_back(::GetTickCount()); };

    PumpMessages(300);
    EXPECT_TRUE(ticks.empty()) << "disabled at creation";

    timer.SetEnabled(true);
    PumpMessages(1050);
    timer.SetEnabled(false);
    ASSERT_GE(ticks.size(), 7u);
    EXPECT_LE(ticks.size(), 11u);
    const double average = double(ticks.back() - ticks.front()) / double(ticks.size() - 1);
    EXPECT_NEAR(average, 100.0, 25.0);

    const std::size_t count = ticks.size();
    PumpMessages(300);
    EXPECT_EQ(ticks.size(), count) << "no tick after switching it off";

    // On again, after a window tick that came while it was off, and switched off and on
    // at once as around a request: it goes on ticking.
    timer.SetEnabled(true);
    timer.SetEnabled(false);
    timer.SetEnabled(true);
    PumpMessages(350);
    EXPECT_GE(ticks.size(), count + 2);
}

// The pump windows' class is registered while one of them exists: a module that is
// unloaded and loaded again must not find a class whose procedure was the old module's.
TEST(PumpTimer, ItsWindowClassGoesWithTheLastWindow)
{
    const auto registered = [] {
        WNDCLASSEXW info{};
        info.cbSize = sizeof info;
        return ::GetClassInfoExW(::GetModuleHandleW(nullptr), L"VLServiceTimerWindow", &info) != 0;
    };
    auto first = vl::TimerWindow::Create();
    auto second = vl::TimerWindow::Create();
    ASSERT_TRUE(first && second);
    first.reset();
    EXPECT_TRUE(registered());
    second.reset();
    EXPECT_FALSE(registered());
    EXPECT_TRUE(vl::TimerWindow::Create()) << "registered again for the next";
}
