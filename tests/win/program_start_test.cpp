// What the control starts: only the maker's programs, exactly the file it checked, by the
// name the system resolves it to, wherever the user's documents folder really is.
// ctest: RESOURCE_LOCK product_state
// ctest-trust: test root
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

#include "fixtures/adapter_fixture.h"
#include "fixtures/error_box_watcher.h"
#include "fixtures/kernel_client.h"
#include "fixtures/planted_link.h"
#include "fixtures/redirected_documents.h"
#include "fixtures/step_log.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"
#include "support/product_registry.h"
#include "tables/portable/message_table.h"

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

DWORD Outcome(BOOL succeeded)
{
    return succeeded ? ERROR_SUCCESS : ::GetLastError();
}

// The program file of the kernel that runs now (its process recorded as "PID").
std::wstring RunningKernelImage()
{
    const vl::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                                 static_cast<DWORD>(vl::ReadProductInteger(L"PID"))));
    wchar_t image[1024] = {};
    DWORD size = 1024;
    return process && ::QueryFullProcessImageNameW(process.get(), 0, image, &size) ? image : L"";
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

class ProgramStartTest : public AdapterTest {
protected:
    void TearDown() override
    {
        window.reset();
        AdapterTest::TearDown();
    }

    ULONG Initialize2(const std::wstring& required)
    {
        vl::UniqueBstr region{std::wstring_view(kRegion)}, version{std::wstring_view(required)};
        ULONG result = 99;
        EXPECT_EQ(control->Initialize2(region.get(), version.get(), nullptr, 0, nullptr, &result), S_OK);
        return result;
    }

    // A kernel window as if the started program had run.
    void FakeKernelStarted()
    {
        if (!window) window = std::make_unique<FakeKernelWindow>();
    }

    // The home folder taken away (its "Log" folder first), for a link to take its place.
    static void RemoveHomeFolder()
    {
        ::RemoveDirectoryW((HomeFolder() + L"\\Log").c_str());
        ASSERT_TRUE(::RemoveDirectoryW(HomeFolder().c_str()));
    }

    std::unique_ptr<FakeKernelWindow> window;
};

} // namespace

TEST_F(ProgramStartTest, ForgedKernelIsRefusedWithTheSignatureErrorBox)
{
    ASSERT_TRUE(InstallIntoHome(L"sign_sample_forged.exe", L"VLWidgetKernel.exe"));
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(false);
    ErrorBoxWatcher box(L"vorlink! ActiveX (VLServiceAdapterImpl:2121)");
    EXPECT_FALSE(adapter->CoreForTesting().StartWidgetKernel());
    EXPECT_NE(box.Text().find(HomeFolder() + L"\\VLWidgetKernel.exe"), std::wstring::npos);
    EXPECT_TRUE(RecordedStarts().empty());
}

// The box and the log say what failed: a signature that fails (message 38), a file that
// cannot be held (an error on the computer, message 3). A missing kernel is only logged
// (adapter_home_test).
TEST_F(ProgramStartTest, AKernelThatCannotStartSaysWhy)
{
    const struct {
        const wchar_t* installed;
        bool openForWriting; // by another program: the file cannot be held
        int message;
        const char* logged;
    } cases[] = {
        {L"tools/kernel/VLWidgetKernel.exe", false, vl::kSignatureErrorMessage,
         "    the Torvane signature was failed."},
        {L"signed/VLWidgetKernel.exe", true, vl::kComputerErrorMessage, "VLWidgetKernel.exe] cannot be held"},
    };
    const std::wstring kernel = HomeFolder() + L"\\VLWidgetKernel.exe";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged);
        ResetProductState();
        ASSERT_TRUE(CreateControl());
        ASSERT_TRUE(InstallIntoHome(c.installed, L"VLWidgetKernel.exe"));
        vl::UniqueHandle writer;
        if (c.openForWriting)
            writer.reset(::CreateFileW(kernel.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        RecordShellStarts(false);
        // The first call's registration run has had its say.
        vl::UniqueBstr region{std::wstring_view(kRegion)}, version{std::wstring_view(L"1.0.0.10")}, text;
        control->GetVersion(text.put());
        const StepLog log;
        ErrorBoxWatcher box(L"vorlink! ActiveX (VLServiceAdapterImpl:2121)");
        ULONG result = 99;
        EXPECT_EQ(control->Initialize2(region.get(), version.get(), nullptr, 0, nullptr, &result), S_FALSE);
        EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
        EXPECT_EQ(box.Text(), vl::LookupMessageText(kRegion, c.message) + L"\n(" + kernel + L")");
        EXPECT_EQ(log.Count(c.logged), 1u) << log.Text();
        EXPECT_TRUE(RecordedStarts().empty());
        control.reset();
    }
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
         [](TVLServiceAdapterXImpl& adapter) { return adapter.CoreForTesting().StartWidgetKernel(); }},
        {L"VLUpdate.exe", L"signed/VLUpdate.exe",
         [](TVLServiceAdapterXImpl& adapter) {
             return adapter.CoreForTesting().StartUpdater(L"1.0.0.10") == VLS_HAVE_TO_UPDATE;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Installed after the control's creation: its registration run of the kernel would
        // hold the file too.
        ASSERT_TRUE(CreateControl());
        ASSERT_TRUE(InstallIntoHome(c.installed, c.name));
        // The name a program of the user knows, and the folders it resolves to.
        const std::wstring target = HomeFolder() + L"\\" + c.name, home = ResolvedHomeFolder(),
                           documents = home.substr(0, home.rfind(L'\\'));
        Interference tried;
        // Before the "start", a swap of the file is tried the way a local attacker would.
        RecordShellStarts(false, [&] {
            tried.overwrite = Outcome(::CopyFileW(BuildFile(L"sign_sample_forged.exe").c_str(), target.c_str(), FALSE));
            tried.rename =
                Outcome(::MoveFileExW(target.c_str(), (target + L".old").c_str(), MOVEFILE_REPLACE_EXISTING));
            tried.remove = Outcome(::DeleteFileW(target.c_str()));
            // A folder renamed away could come back as a link to another folder.
            tried.renameHome = Outcome(::MoveFileExW(home.c_str(), (home + L".old").c_str(), 0));
            tried.renameDocuments = Outcome(::MoveFileExW(documents.c_str(), (documents + L".old").c_str(), 0));
            const vl::UniqueHandle reader(
                ::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
            tried.readable = reader.valid();
            FakeKernelStarted();
        });

        EXPECT_TRUE(c.start(*adapter));
        ASSERT_EQ(RecordedStarts().size(), 1u);
        EXPECT_EQ(RecordedStarts()[0].file, L"\"" + home + L"\\" + c.name + L"\"");
        EXPECT_EQ(tried.overwrite, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(tried.rename, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(tried.remove, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(tried.renameHome, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(tried.renameDocuments, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_TRUE(tried.readable) << "starting a program needs no more than reading it";
        // Let go once started.
        EXPECT_TRUE(::DeleteFileW(target.c_str())) << ::GetLastError();
        control.reset();
    }
}

// Links the user or the system made on the way (the home folder, the program itself) are
// followed to the file they lead to, which is checked and started by that name.
TEST_F(ProgramStartTest, ALinkOnTheWayIsFollowedToTheProgramThatStarts)
{
    const struct {
        const wchar_t* name;
        const wchar_t* installed;
        std::function<bool(TVLServiceAdapterXImpl&, IVLServiceAdapterX&)> started;
    } starts[] = {
        {L"VLWidgetKernel.exe", L"signed/VLWidgetKernel.exe",
         [](TVLServiceAdapterXImpl& adapter, IVLServiceAdapterX&) { return adapter.CoreForTesting().StartWidgetKernel(); }},
        {L"VLUpdate.exe", L"signed/VLUpdate.exe",
         [](TVLServiceAdapterXImpl& adapter, IVLServiceAdapterX&) {
             return adapter.CoreForTesting().StartUpdater(L"1.0.0.10") == VLS_HAVE_TO_UPDATE;
         }},
        // The registration run at the first call, which runs (unrecorded).
        {L"VLWidgetKernel.exe", L"signed/VLWidgetKernel.exe",
         [](TVLServiceAdapterXImpl&, IVLServiceAdapterX& control) {
             const StepLog log;
             vl::UniqueBstr version;
             return control.GetVersion(version.put()) == S_OK &&
                    log.Count("kernel registration: startup widget kernel.") == 1;
         }},
    };
    for (const bool linkedFolder : {true, false}) {
        for (const auto& c : starts) {
            SCOPED_TRACE(std::wstring(linkedFolder ? L"linked home folder, " : L"linked program, ") + c.name);
            ResetProductState();
            ASSERT_TRUE(CreateControl());
            RecordShellStarts(false, [&] { FakeKernelStarted(); });
            TempFolder elsewhere;
            ASSERT_TRUE(::CopyFileW(BuildFile(c.installed).c_str(), elsewhere.File(c.name).c_str(), FALSE));
            const std::wstring home = HomeFolder();
            if (linkedFolder) RemoveHomeFolder();
            const PlantedLink link(linkedFolder ? home : home + L"\\" + c.name,
                                   linkedFolder ? elsewhere.Path() : elsewhere.File(c.name));
            ASSERT_TRUE(link.Planted());

            EXPECT_TRUE(c.started(*adapter, *control.get()));
            const std::wstring resolved = ResolvedPath(elsewhere.File(c.name));
            if (RecordedStarts().empty()) {
                PumpUntil([] { return !vl::ReadProductString(L"KernelRegistered").empty(); }, 10000);
                EXPECT_TRUE(SamePath(vl::ReadProductString(L"KernelRegistered"), resolved));
            } else {
                ASSERT_EQ(RecordedStarts().size(), 1u);
                EXPECT_EQ(RecordedStarts()[0].file, L"\"" + resolved + L"\"");
                EXPECT_EQ(RecordedStarts()[0].directory, ResolvedPath(elsewhere.Path()));
            }
            control.reset();
            window.reset();
            EndRunningKernels();
        }
    }
}

// "My Vorlink" a link to a folder with the signed kernel, re-pointed to a folder with an
// unsigned one after the check: the kernel that runs is the checked one, whether it starts
// directly (from an elevated process) or through the shell.
TEST_F(ProgramStartTest, ALinkRePointedBetweenCheckAndStartChangesNothing)
{
    for (const bool elevatedProcess : {true, false}) {
        SCOPED_TRACE(elevatedProcess ? L"started directly" : L"started through the shell");
        ResetProductState();
        TempFolder checked, other;
        ASSERT_TRUE(::CopyFileW(BuildFile(L"signed/VLWidgetKernel.exe").c_str(),
                                checked.File(L"VLWidgetKernel.exe").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW(BuildFile(L"tools/kernel/VLWidgetKernel.exe").c_str(),
                                other.File(L"VLWidgetKernel.exe").c_str(), FALSE));
        ASSERT_TRUE(CreateControl());
        RemoveHomeFolder();
        std::optional<PlantedLink> link;
        link.emplace(HomeFolder(), checked.Path());
        ASSERT_TRUE(link->Planted());
        bool rePointed = false;
        RecordShellStarts(true, [&] {
            link.reset();
            link.emplace(HomeFolder(), other.Path());
            rePointed = link->Planted();
        });
        if (elevatedProcess) vl::Platform().isProcessElevated = [] { return true; };

        EXPECT_TRUE(adapter->CoreForTesting().StartWidgetKernel());
        EXPECT_TRUE(rePointed);
        EXPECT_TRUE(SamePath(RunningKernelImage(), ResolvedPath(checked.File(L"VLWidgetKernel.exe"))))
            << RunningKernelImage();
        control.reset();
        EndRunningKernels();
        link.reset();
    }
}

// The user's classes may give "runas" a command of their own: an elevated start uses the
// machine's class of programs, whose command the user cannot write.
TEST_F(ProgramStartTest, AUsersRunasCommandChangesNothing)
{
    const std::wstring userCommand = L"Software\\Classes\\exefile\\shell\\runas\\command";
    const std::wstring redirected = L"\"" + BuildFile(L"sign_sample.exe") + L"\" \"%1\"";
    vl::UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, userCommand.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(redirected.c_str()),
                               static_cast<DWORD>((redirected.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    wchar_t machine[512] = {};
    DWORD size = sizeof machine;
    ASSERT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\exefile\\shell\\runas\\command", nullptr,
                             RRF_RT_REG_SZ, nullptr, machine, &size),
              ERROR_SUCCESS);

    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    ASSERT_TRUE(InstallIntoHome(L"signed/VLUpdate.exe", L"VLUpdate.exe"));
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(false, [&] { FakeKernelStarted(); });
    EXPECT_TRUE(adapter->CoreForTesting().StartWidgetKernel());
    EXPECT_EQ(adapter->CoreForTesting().StartUpdater(L"1.0.0.10"), static_cast<ULONG>(VLS_HAVE_TO_UPDATE));
    ASSERT_EQ(RecordedStarts().size(), 2u);
    for (const ShellStart& start : RecordedStarts()) {
        EXPECT_EQ(start.verb, L"runas") << start.file;
        EXPECT_EQ(start.classCommand, machine) << start.file;
    }
    key.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\exefile");
}

// A signed kernel starts by the name its documents folder resolves to: Wine's own layout
// (Documents a link to a folder outside drive_c, as the prefix has it) and a documents
// folder that is a plain folder.
TEST_F(ProgramStartTest, ASignedKernelStartsWhereverTheDocumentsFolderIs)
{
    ASSERT_NE(ResolvedHomeFolder(), HomeFolder()) << "the prefix's Documents is a link, as Wine makes it";
    for (const bool linked : {true, false}) {
        SCOPED_TRACE(linked ? L"Documents a link" : L"Documents a plain folder");
        TempFolder plainDocuments;
        std::optional<RedirectedDocuments> redirected;
        if (!linked) redirected.emplace(plainDocuments.Path());
        ResetProductState();
        ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
        ASSERT_TRUE(CreateControl());
        RecordShellStarts(true);
        EXPECT_TRUE(adapter->CoreForTesting().StartWidgetKernel());
        const std::wstring kernel = ResolvedHomeFolder() + L"\\VLWidgetKernel.exe";
        ASSERT_EQ(RecordedStarts().size(), 1u);
        EXPECT_EQ(RecordedStarts()[0].file, L"\"" + kernel + L"\"");
        EXPECT_TRUE(SamePath(RunningKernelImage(), kernel)) << RunningKernelImage();
        control.reset();
        EndRunningKernels();
    }
}
