// What the control starts: only the maker's programs, and exactly the file it checked.
// ctest: RESOURCE_LOCK product_state
// ctest-trust: test root
#include <gtest/gtest.h>

#include <functional>

#include "fixtures/adapter_fixture.h"
#include "fixtures/error_box_watcher.h"
#include "fixtures/planted_link.h"
#include "fixtures/step_log.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"

using namespace vl::test;

namespace {

const std::wstring kRegion = L"TW;Production";

// What other processes could do to a file and its folders while the control starts it.
struct Interference {
    DWORD overwrite = ERROR_SUCCESS;
    DWORD remove = ERROR_SUCCESS;
    DWORD rename = ERROR_SUCCESS;
    DWORD renameHome = ERROR_SUCCESS;
    DWORD renameDocuments = ERROR_SUCCESS;
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
    // A folder renamed away could come back as a link to another folder.
    const std::wstring home = HomeFolder(), documents = home.substr(0, home.rfind(L'\\'));
    g_interference.renameHome = Outcome(::MoveFileExW(home.c_str(), (home + L".old").c_str(), 0));
    g_interference.renameDocuments = Outcome(::MoveFileExW(documents.c_str(), (documents + L".old").c_str(), 0));
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
    EXPECT_FALSE(adapter->Core().StartWidgetKernel());
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
         [](TVLServiceAdapterXImpl& adapter) { return adapter.Core().StartWidgetKernel(); }},
        {L"VLUpdate.exe", L"signed/VLUpdate.exe",
         [](TVLServiceAdapterXImpl& adapter) { return adapter.Core().StartUpdater(L"1.0.0.10") == VLS_HAVE_TO_UPDATE; }},
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
        EXPECT_EQ(g_interference.renameHome, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(g_interference.renameDocuments, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_TRUE(g_interference.readable) << "starting a program needs no more than reading it";
        // Let go once started.
        EXPECT_TRUE(::DeleteFileW(g_target.c_str())) << ::GetLastError();
        control.reset();
    }
}

// A program of the user may have put a link where the control's folder or program should
// be, leading to a genuine signed program elsewhere: the check would pass, and the link
// could be re-pointed before the start. Nothing is started through a link.
TEST_F(ProgramStartTest, ALinkOnTheWayStartsNothing)
{
    const struct {
        const wchar_t* name;
        const wchar_t* installed;
        std::function<bool(TVLServiceAdapterXImpl&, IVLServiceAdapterX&)> refused;
    } starts[] = {
        {L"VLWidgetKernel.exe", L"signed/VLWidgetKernel.exe",
         [](TVLServiceAdapterXImpl& adapter, IVLServiceAdapterX&) {
             ErrorBoxWatcher box(L"vorlink! ActiveX (VLServiceAdapterImpl:2121)");
             return !adapter.Core().StartWidgetKernel() && !box.Text().empty();
         }},
        // No fresh copy either: on major version 6 without a page, nothing is left to do.
        {L"VLUpdate.exe", L"signed/VLUpdate.exe",
         [](TVLServiceAdapterXImpl& adapter, IVLServiceAdapterX&) {
             return adapter.Core().StartUpdater(L"1.0.0.10") == VLS_FAIL;
         }},
        // The registration run at the first call.
        {L"VLWidgetKernel.exe", L"signed/VLWidgetKernel.exe",
         [](TVLServiceAdapterXImpl&, IVLServiceAdapterX& control) {
             const StepLog log;
             vl::UniqueBstr version;
             return control.GetVersion(version.put()) == S_OK &&
                    log.Count("kernel registration: the Torvane signature was failed.") == 1;
         }},
    };
    for (const bool linkedFolder : {true, false}) {
        for (const auto& c : starts) {
            SCOPED_TRACE(std::wstring(linkedFolder ? L"linked home folder, " : L"linked program, ") + c.name);
            ResetProductState();
            ASSERT_TRUE(CreateControl());
            RecordShellStarts(false);
            TempFolder elsewhere;
            ASSERT_TRUE(::CopyFileW(BuildFile(c.installed).c_str(), elsewhere.File(c.name).c_str(), FALSE));
            const std::wstring home = HomeFolder();
            // The control has made no call yet: its home folder is as the reset left it, empty.
            if (linkedFolder) {
                ASSERT_TRUE(::RemoveDirectoryW(home.c_str()));
            }
            const PlantedLink link(linkedFolder ? home : home + L"\\" + c.name,
                                   linkedFolder ? elsewhere.Path() : elsewhere.File(c.name));
            ASSERT_TRUE(link.Planted());

            EXPECT_TRUE(c.refused(*adapter, *control.get()));
            EXPECT_TRUE(RecordedStarts().empty());
            EXPECT_EQ(::FindWindowW(L"TMainForm", nullptr), nullptr);
            control.reset();
        }
    }
}
