// The adapter with the stand-in kernel: starting it (publisher check, verb, wait for its
// window), the whole initialization, requests, results and shutdown.
// ctest: RESOURCE_LOCK product_state
// ctest-trust: test root
// ctest-wow64: run
// ctest: TIMEOUT 240
#include <gtest/gtest.h>

#include "fixtures/adapter_fixture.h"
#include "fixtures/error_box_watcher.h"
#include "fixtures/event_recorder.h"
#include "support/product_registry.h"
#include "fixtures/child_process.h"
#include "fixtures/kernel_client.h"
#include "fixtures/step_log.h"
#include "fixtures/test_paths.h"

using namespace vl::test;

namespace {

const std::wstring kRegion = L"TW;Production";

class KernelAdapterTest : public AdapterTest {
protected:
    void TearDown() override
    {
        ::SetEnvironmentVariableW(L"VL_KERNEL_BEHAVIOUR", nullptr);
        AdapterTest::TearDown();
    }

    HRESULT Initialize2(const std::wstring& required, ULONG& result, const std::wstring& site = L"")
    {
        vl::UniqueBstr region{std::wstring_view(kRegion)}, version{std::wstring_view(required)},
            checksum{std::wstring_view(L"any")}, page{std::wstring_view(site)};
        return control->Initialize2(region.get(), version.get(), checksum.get(), 30, page.get(), &result);
    }
};

} // namespace

TEST_F(KernelAdapterTest, RunningKernelIsUsedWithoutCheckOrStart)
{
    ChildProcess kernel(BuildFile(L"tools/kernel/VLWidgetKernel.exe"), kRegion);
    ASSERT_TRUE(kernel.Started());
    HWND window = WaitForKernelWindow(10000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(false);
    EXPECT_TRUE(adapter->CoreForTesting().StartWidgetKernel());
    EXPECT_EQ(adapter->CoreForTesting().KernelWindowForTesting(), window);
    EXPECT_TRUE(RecordedStarts().empty());
}

TEST_F(KernelAdapterTest, DevelopmentModeNeedsTheExactValueUnderTheUserAndTheMachine)
{
    const struct {
        const wchar_t* user;    // null for no value
        const wchar_t* machine; // in this program's (the module's) view
        bool verifies;
    } cases[] = {
        {L"Develop", L"Develop", false}, {L"Develop", nullptr, true},  {nullptr, L"Develop", true},
        {L"develop", L"Develop", true},  {L"Develop", L"develop", true}, {L"Develop", L"Develop ", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.user ? c.user : L"-") + L" / " + (c.machine ? c.machine : L"-"));
        ResetProductState();
        if (c.user) {
            ASSERT_TRUE(WriteProductStringUnder(HKEY_CURRENT_USER, L"envver", c.user));
        }
        if (c.machine) {
            ASSERT_TRUE(WriteProductStringUnder(HKEY_LOCAL_MACHINE, L"envver", c.machine));
        }
        const StepLog log;
        ASSERT_TRUE(CreateControl());
        EXPECT_EQ(!adapter->CoreForTesting().InDevelopmentMode(), c.verifies);
        // The user's value alone is noted, at the first call, once.
        vl::UniqueBstr version;
        ASSERT_EQ(control->GetVersion(version.put()), S_OK);
        ASSERT_EQ(control->GetVersion(version.put()), S_OK);
        const bool userOnly = c.verifies && c.user && std::wstring_view(c.user) == L"Develop";
        EXPECT_EQ(log.Count("is set for this user only"), userOnly ? 1u : 0u);
        control.reset();
    }
}

TEST_F(KernelAdapterTest, DevelopmentModeStartsAnUnsignedKernelElevated)
{
    ASSERT_TRUE(InstallIntoHome(L"tools/kernel/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    ASSERT_TRUE(SetDevelopmentMode());
    ASSERT_TRUE(CreateControl());
    EXPECT_TRUE(adapter->CoreForTesting().InDevelopmentMode());
    EXPECT_FALSE(adapter->CoreForTesting().IsLegacyOSForTesting()); // the prefix reports major version 6
    RecordShellStarts(true);
    EXPECT_TRUE(adapter->CoreForTesting().StartWidgetKernel());
    ASSERT_EQ(RecordedStarts().size(), 1u);
    const ShellStart& start = RecordedStarts()[0];
    EXPECT_EQ(start.verb, L"runas");
    EXPECT_EQ(start.file, L"\"" + ResolvedHomeFolder() + L"\\VLWidgetKernel.exe\"");
    EXPECT_EQ(start.directory, ResolvedHomeFolder());
    EXPECT_EQ(start.show, SW_HIDE);
}

TEST_F(KernelAdapterTest, UnsignedKernelIsRefusedWithTheSignatureErrorBox)
{
    ASSERT_TRUE(InstallIntoHome(L"tools/kernel/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    // Any program of the user could write the user's value: it turns no check off.
    ASSERT_TRUE(vl::WriteProductString(L"envver", L"Develop"));
    ASSERT_TRUE(CreateControl());
    EXPECT_FALSE(adapter->CoreForTesting().InDevelopmentMode());
    RecordShellStarts(false);
    ErrorBoxWatcher box(L"vorlink! ActiveX (VLServiceAdapterImpl:2121)");
    EXPECT_FALSE(adapter->CoreForTesting().StartWidgetKernel());
    // Before Initialize no region is stored: message 38 is empty and the path follows.
    EXPECT_EQ(box.Text(), L"\n(" + HomeFolder() + L"\\VLWidgetKernel.exe)");
    EXPECT_TRUE(RecordedStarts().empty());
}

TEST_F(KernelAdapterTest, KernelWhoseWindowComesTooLateFailsTheStart)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    ::SetEnvironmentVariableW(L"VL_KERNEL_BEHAVIOUR", L"window_delay:12000");
    ASSERT_TRUE(CreateControl());
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(adapter->CoreForTesting().StartWidgetKernel());
    EXPECT_GE(::GetTickCount() - start, 9900u);
}

TEST_F(KernelAdapterTest, UninitializeWithoutKernelReturnsAfterTheShortPause)
{
    ASSERT_TRUE(CreateControl());
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(control->Uninitialize(), S_OK);
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 2900u);
    EXPECT_LT(elapsed, 9000u);
}

TEST_F(KernelAdapterTest, UninitializeGivesUpOnAProcessThatNeverEnds)
{
    // A "PID" left behind that now names a process that stays: this test program.
    ASSERT_TRUE(vl::WriteProductInteger(L"PID", static_cast<int>(::GetCurrentProcessId())));
    ASSERT_TRUE(CreateControl());
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(control->Uninitialize(), S_OK);
    EXPECT_GE(::GetTickCount() - start, 9900u);
    EXPECT_EQ(adapter->CoreForTesting().ReadPipeForTesting(), nullptr);
}

TEST_F(KernelAdapterTest, WholeSessionWithTheStandInKernel)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    ASSERT_TRUE(CreateControl());
    EventRecorder events;
    ASSERT_TRUE(events.Connect(control.get()));

    ULONG result = 99;
    EXPECT_EQ(Initialize2(L"1.0.0.10", result), S_OK);
    ASSERT_EQ(result, static_cast<ULONG>(VLS_OK));
    EXPECT_NE(adapter->CoreForTesting().ObjectId(), 0u);

    vl::UniqueBstr key{std::wstring_view(L"score")}, value{std::wstring_view(L"42")}, loaded;
    EXPECT_EQ(control->SaveData(key.get(), value.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_OK));
    EXPECT_EQ(control->LoadData(key.get(), loaded.put()), S_OK);
    EXPECT_EQ(loaded.str(), L"42");
    EXPECT_EQ(control->CheckRegionInfo(&result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_OK));
    EXPECT_EQ(control->ClearData(key.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_OK));
    EXPECT_EQ(control->LoadData(key.get(), loaded.put()), S_OK);
    EXPECT_EQ(loaded.str(), L"");

    vl::UniqueBstr params{std::wstring_view(L"hello")};
    EXPECT_EQ(control->SendCommand(2, 77, params.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_OK));
    ASSERT_TRUE(PumpUntil([&] { return !events.Results().empty(); }, 3000));
    EXPECT_EQ(events.Results()[0].cmd, 2u);
    EXPECT_EQ(events.Results()[0].serial, 77u);
    EXPECT_EQ(events.Results()[0].params, L"Echo=hello");

    // The kernel leaves after the leave notice; the adapter waits for its process.
    EXPECT_NE(vl::ReadProductInteger(L"PID"), 0);
    EXPECT_EQ(control->Uninitialize(), S_OK);
    EXPECT_EQ(::FindWindowW(L"TMainForm", nullptr), nullptr);
    EXPECT_EQ(adapter->CoreForTesting().ReadPipeForTesting(), nullptr);
    EXPECT_EQ(control->SaveData(key.get(), value.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    events.Disconnect();
}

TEST_F(KernelAdapterTest, OutdatedKernelThatRunsIsLinkedWithoutAnUpdate)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel_1_0_0_9.exe", L"VLWidgetKernel.exe"));
    ChildProcess kernel(HomeFolder() + L"\\VLWidgetKernel.exe", kRegion);
    ASSERT_NE(WaitForKernelWindow(10000), nullptr);
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(false);
    ULONG result = 99;
    EXPECT_EQ(Initialize2(L"1.0.0.10", result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_OK));
    EXPECT_TRUE(RecordedStarts().empty());
}

TEST_F(KernelAdapterTest, VersionsAreComparedAsNumbers)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel_1_0_0_9.exe", L"VLWidgetKernel.exe"));
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(true);
    // 1.0.0.9 is older than 1.0.0.10: the updater path, which without updater, page
    // address or legacy system can start nothing.
    ULONG result = 99;
    EXPECT_EQ(Initialize2(L"1.0.0.10", result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    EXPECT_TRUE(RecordedStarts().empty());
    // Equal versions: the kernel is started and linked.
    EXPECT_EQ(Initialize2(L"1.0.0.9", result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_OK));
    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedStarts()[0].file, L"\"" + ResolvedHomeFolder() + L"\\VLWidgetKernel.exe\"");
    EXPECT_EQ(RecordedStarts()[0].parameters, kRegion);
}

TEST_F(KernelAdapterTest, MalformedRequiredVersionFailsWithoutThrowing)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(false);
    ULONG result = 99;
    EXPECT_EQ(Initialize2(L"1.0.10", result), S_FALSE);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    EXPECT_TRUE(RecordedStarts().empty());
}

TEST_F(KernelAdapterTest, NullArgumentsFailBeforeTheProgressValueIsTouched)
{
    ASSERT_TRUE(vl::WriteProductString(L"Progress", L"Status=Done"));
    ASSERT_TRUE(CreateControl());
    vl::UniqueBstr version{std::wstring_view(L"1.0.0.10")};
    ULONG result = 99;
    EXPECT_EQ(control->Initialize(nullptr, version.get(), nullptr, 0, &result), S_FALSE);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    EXPECT_EQ(control->Initialize2(nullptr, version.get(), nullptr, 0, nullptr, &result), S_FALSE);
    EXPECT_EQ(vl::ReadProductString(L"Progress"), L"Status=Done");
    // Outside an HTML document the page address is empty.
    EXPECT_TRUE(adapter->CoreForTesting().PageAddressForTesting().empty());
}

TEST_F(KernelAdapterTest, LocalUpdaterIsStartedForAMissingKernel)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLUpdate.exe", L"VLUpdate.exe"));
    ASSERT_TRUE(vl::WriteProductString(L"Progress", L"Status=Done"));
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(false);
    ULONG result = 99;
    EXPECT_EQ(Initialize2(L"1.0.0.10", result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_HAVE_TO_UPDATE));
    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedStarts()[0].verb, L"runas");
    EXPECT_EQ(RecordedStarts()[0].file, L"\"" + ResolvedHomeFolder() + L"\\VLUpdate.exe\"");
    EXPECT_EQ(RecordedStarts()[0].parameters, L"TW;Production 1.0.0.10");
    EXPECT_EQ(RecordedStarts()[0].directory, ResolvedHomeFolder());
    EXPECT_EQ(RecordedStarts()[0].show, SW_HIDE);
    // Every initialization starts the updater's progress afresh.
    EXPECT_EQ(vl::ReadProductString(L"Progress"), L"");
}
