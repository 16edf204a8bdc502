// A link kept busy: a thousand commands in one script turn against the stand-in kernel,
// which echoes each one and stops reading while it cannot write; a kernel that stops
// reading altogether; a page that links twice. Nothing is lost, and nothing lost is
// reported as sent.
// ctest: RESOURCE_LOCK product_state
// ctest: RESOURCE_LOCK com_registration
// ctest-trust: test root
#include <gtest/gtest.h>

#include <string>

#include "fixtures/adapter_fixture.h"
#include "fixtures/child_process.h"
#include "fixtures/com_module.h"
#include "fixtures/kernel_client.h"
#include "fixtures/page_run.h"
#include "fixtures/test_paths.h"
#include "kernel_link/kernel_link.h"

using namespace vl::test;

namespace {

constexpr wchar_t kRegion[] = L"TW;Production";

// The page's whole turn sends the commands; their events come once the turn has ended.
constexpr char kThousandCommandsPage[] = R"(
    var serials = [];
    function OnResult(cmd, serial, params) { if (cmd == 2 && params == "Echo=n=" + serial) serials.push(serial); }
    host.print("Initialize2 " + control.Initialize2("TW;Production", "1.0.0.10", "", 30, host.url));
    var failed = 0;
    for (var i = 0; i < 1000; i++) if (control.SendCommand(2, i, "n=" + i) != 0) failed++;
    host.print("failed " + failed + ", events in the turn " + serials.length);
    var start = host.now();
    while (serials.length < 1000 && host.now() - start < 30000) host.pump(20);
    var order = "in order";
    for (i = 0; i < serials.length; i++) if (serials[i] != i) { order = "out of order at " + i; break; }
    host.print("events " + serials.length + " " + order);
    host.print("SaveData " + control.SaveData("k", "v") + ", LoadData " + control.LoadData("k"));
    control.Uninitialize();
)";

HRESULT Initialize2(IVLServiceAdapterX* control, ULONG& result)
{
    vl::UniqueBstr region{std::wstring_view(kRegion)}, version{std::wstring_view(L"1.0.0.10")};
    return control->Initialize2(region.get(), version.get(), nullptr, 30, nullptr, &result);
}

ULONG SendCommand(IVLServiceAdapterX* control, ULONG serial, const std::wstring& text)
{
    vl::UniqueBstr params{std::wstring_view(text)};
    ULONG result = 99;
    EXPECT_EQ(control->SendCommand(2, serial, params.get(), &result), S_OK);
    return result;
}

} // namespace

TEST(BusyLink, AThousandCommandsInOneScriptTurnAllGoOutAndTheirEventsFollowInOrder)
{
    ResetProductState();
    ASSERT_EQ(Regsvr32(ModulePath()), DWORD{0});
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    const PageRun run = RunPage(kThousandCommandsPage, L"");
    EXPECT_EQ(run.output, "Initialize2 0\nfailed 0, events in the turn 0\nevents 1000 in order\nSaveData 0, LoadData v\n");
    EXPECT_EQ(run.exitCode, DWORD{0});
    ResetProductState();
}

// The kernel reads nothing: what fits the pipe goes out, the command that does not fails at
// the write's deadline, and every call says so at once until the next link.
TEST_F(AdapterTest, AKernelThatStopsReadingFailsTheCommandAtItsDeadlineAndEndsTheLink)
{
    ChildProcess kernel(BuildFile(L"tools/kernel/VLWidgetKernel.exe"), kRegion,
                        {{{L"VL_KERNEL_BEHAVIOUR", L"deaf"}}});
    ASSERT_TRUE(kernel.Started());
    ASSERT_NE(WaitForKernelWindow(10000), nullptr);
    ASSERT_TRUE(CreateControl());
    ASSERT_TRUE(adapter->CoreForTesting().CreatePipeChannel());
    ASSERT_TRUE(adapter->CoreForTesting().RegisterToWidgetKernel());
    const std::wstring params(4000, L'p');
    ULONG sent = 0;
    DWORD failedAfter = 0;
    for (ULONG result = VLS_OK; result == VLS_OK && sent < 100;) {
        const DWORD start = ::GetTickCount();
        result = SendCommand(control.get(), sent, params);
        failedAfter = ::GetTickCount() - start;
        if (result == VLS_OK) ++sent;
    }
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, 100u);
    // The write's 2 s, and some room for a loaded machine.
    EXPECT_LT(failedAfter, vl::KernelLink::kRequestDeadline + 2000);
    EXPECT_FALSE(adapter->CoreForTesting().IsKernelLinked());
    EXPECT_EQ(SendCommand(control.get(), 0, L"small"), static_cast<ULONG>(VLS_FAIL));
    vl::UniqueBstr key{std::wstring_view(L"k")}, value{std::wstring_view(L"v")};
    ULONG saved = 99;
    EXPECT_EQ(control->SaveData(key.get(), value.get(), &saved), S_OK);
    EXPECT_EQ(saved, static_cast<ULONG>(VLS_FAIL));

    ASSERT_TRUE(adapter->CoreForTesting().CreatePipeChannel());
    ASSERT_TRUE(adapter->CoreForTesting().RegisterToWidgetKernel());
    EXPECT_EQ(SendCommand(control.get(), 0, L"small"), static_cast<ULONG>(VLS_OK));
}

// A page that initializes twice leaves the kernel with one link, which its Uninitialize
// ends: the kernel leaves before Uninitialize returns.
TEST_F(AdapterTest, ASecondInitializeClosesTheFirstLinkSoTheKernelLeavesWithThePage)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    ASSERT_TRUE(CreateControl());
    for (int i = 0; i < 2; ++i) {
        ULONG result = 99;
        ASSERT_EQ(Initialize2(control.get(), result), S_OK) << i;
        ASSERT_EQ(result, static_cast<ULONG>(VLS_OK)) << i;
    }
    EXPECT_EQ(control->Uninitialize(), S_OK);
    EXPECT_EQ(WaitForKernelWindow(0), nullptr);
}
