// What the control starts: only the maker's programs, and exactly the file it checked.
// ctest: RESOURCE_LOCK product_state
// ctest-trust: test root
#include <gtest/gtest.h>

#include <functional>

#include "support/adapter_fixture.h"
#include "support/error_box_watcher.h"
#include "support/test_paths.h"

using namespace vl::test;

namespace {

const std::wstring kRegion = L"TW;Production";

// What other processes could do to a file while the control starts it.
struct Interference {
    DWORD overwrite = ERROR_SUCCESS;
    DWORD remove = ERROR_SUCCESS;
    DWORD rename = ERROR_SUCCESS;
    bool readable = false;
};

Interference g_interference;
std::wstring g_target;
FakeKernelWindow* g_kernelWindow = nullptr;

DWORD Outcome(BOOL succeeded)
{
    return succeeded ? ERROR_SUCCESS : ::GetLastError();
}

// The shell's execute call, taken over: before it "starts" the program, a swap of the file
// is tried the way a local attacker would; then a kernel window appears as if it had run.
BOOL WINAPI InterferingShellExecuteEx(SHELLEXECUTEINFOW* info)
{
    RecordedStarts().push_back({info->lpVerb ? info->lpVerb : L"", info->lpFile, info->lpParameters,
                                info->lpDirectory, info->nShow});
    g_interference.overwrite = Outcome(::CopyFileW(BuildFile(L"sign_sample_forged.exe").c_str(), g_target.c_str(), FALSE));
    g_interference.rename = Outcome(::MoveFileExW(g_target.c_str(), (g_target + L".old").c_str(), MOVEFILE_REPLACE_EXISTING));
    g_interference.remove = Outcome(::DeleteFileW(g_target.c_str()));
    vl::UniqueHandle reader(::CreateFileW(g_target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                          nullptr));
    g_interference.readable = reader.valid();
    if (!g_kernelWindow) g_kernelWindow = new FakeKernelWindow();
    return TRUE;
}

class ProgramStartTest : public AdapterTest {
protected:
    void SetUp() override
    {
        AdapterTest::SetUp();
        g_interference = {};
    }

    void TearDown() override
    {
        delete g_kernelWindow;
        g_kernelWindow = nullptr;
        AdapterTest::TearDown();
    }

    ULONG Initialize2(const std::wstring& required)
    {
        vl::UniqueBstr region{std::wstring_view(kRegion)}, version{std::wstring_view(required)};
        ULONG result = 99;
        EXPECT_EQ(control->Initialize2(region.get(), version.get(), nullptr, 0, nullptr, &result), S_OK);
        return result;
    }
};

} // namespace

TEST_F(ProgramStartTest, ForgedKernelIsRefusedWithTheSignatureErrorBox)
{
    ASSERT_TRUE(InstallIntoHome(L"sign_sample_forged.exe", L"VLWidgetKernel.exe"));
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(false);
    ErrorBoxWatcher box(L"vorlink! ActiveX (VLServiceAdapterImpl:2121)");
    EXPECT_FALSE(adapter->StartWidgetKernel());
    EXPECT_NE(box.Text().find(HomeFolder() + L"\\VLWidgetKernel.exe"), std::wstring::npos);
    EXPECT_TRUE(RecordedStarts().empty());
}

TEST_F(ProgramStartTest, ForgedLocalUpdaterIsNotStarted)
{
    ASSERT_TRUE(InstallIntoHome(L"sign_sample_forged.exe", L"VLUpdate.exe"));
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(false);
    // No kernel: the updater's turn. Refused, and with no page to fetch a fresh copy for,
    // nothing else can be done.
    EXPECT_EQ(Initialize2(L"1.0.0.10"), static_cast<ULONG>(VLS_FAIL));
    EXPECT_TRUE(RecordedStarts().empty());
}

TEST_F(ProgramStartTest, TheCheckedFileCannotBeSwappedBeforeItStarts)
{
    const struct {
        const wchar_t* name;
        const wchar_t* installed;
        std::function<bool(TVLServiceAdapterXImpl&)> start;
    } cases[] = {
        {L"VLWidgetKernel.exe", L"signed/VLWidgetKernel.exe",
         [](TVLServiceAdapterXImpl& adapter) { return adapter.StartWidgetKernel(); }},
        {L"VLUpdate.exe", L"signed/VLUpdate.exe",
         [](TVLServiceAdapterXImpl& adapter) { return adapter.StartUpdater(L"1.0.0.10") == VLS_HAVE_TO_UPDATE; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Installed after the control's creation: its registration run of the kernel would
        // hold the file too.
        ASSERT_TRUE(CreateControl());
        ASSERT_TRUE(InstallIntoHome(c.installed, c.name));
        g_target = HomeFolder() + L"\\" + c.name;
        RecordedStarts().clear();
        vl::Platform().shellExecuteEx = InterferingShellExecuteEx;

        EXPECT_TRUE(c.start(*adapter));
        ASSERT_EQ(RecordedStarts().size(), 1u);
        EXPECT_EQ(RecordedStarts()[0].file, L"\"" + g_target + L"\"");
        EXPECT_EQ(g_interference.overwrite, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(g_interference.rename, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(g_interference.remove, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_TRUE(g_interference.readable) << "starting a program needs no more than reading it";
        // Let go once started.
        EXPECT_TRUE(::DeleteFileW(g_target.c_str())) << ::GetLastError();
        control.reset();
    }
}
