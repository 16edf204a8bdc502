// What the control starts: only the maker's programs, exactly the file it checked, by the
// name the system resolves it to, wherever the user's documents folder really is.
// ctest: RESOURCE_LOCK product_state
// ctest-trust: test root
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "fixtures/adapter_fixture.h"
#include "fixtures/error_box_watcher.h"
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

// The starts of a checked program from the home folder, each true when it started.
const struct ProgramStart {
    const wchar_t* name;
    const wchar_t* installed;
    bool (*start)(TVLServiceAdapterXImpl&);
} kStarts[] = {
    {L"VLWidgetKernel.exe", L"signed/VLWidgetKernel.exe",
     [](TVLServiceAdapterXImpl& adapter) { return adapter.CoreForTesting().StartWidgetKernel(); }},
    {L"VLUpdate.exe", L"signed/VLUpdate.exe",
     [](TVLServiceAdapterXImpl& adapter) { return adapter.CoreForTesting().StartUpdater(L"1.0.0.10") == VLS_HAVE_TO_UPDATE; }},
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

class ProgramStartTest : public AdapterTest {
protected:
    void TearDown() override
    {
        window.reset();
        // The "runas" command a test gave the user's classes.
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\exefile");
        AdapterTest::TearDown();
    }

    ULONG Initialize2(const std::wstring& required, HRESULT answer = S_OK)
    {
        vl::UniqueBstr region{std::wstring_view(kRegion)}, version{std::wstring_view(required)};
        ULONG result = 99;
        EXPECT_EQ(control->Initialize2(region.get(), version.get(), nullptr, 0, nullptr, &result), answer);
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

// The box and the log say what failed: a signature that fails (message 38), a file that
// cannot be held (an error on the computer, message 3). A missing kernel is only logged
// (adapter_home_test).
TEST_F(ProgramStartTest, AKernelThatCannotStartSaysWhy)
{
    const char* const kSignatureFailed = "    the Torvane signature was failed.";
    const struct {
        const wchar_t* installed;
        bool openForWriting; // by another program: the file cannot be held
        int message;
        const char* logged;
    } cases[] = {
        {L"tools/kernel/VLWidgetKernel.exe", false, vl::kSignatureErrorMessage, kSignatureFailed},
        // A self-made certificate that carries the maker's serial and name.
        {L"sign_sample_forged.exe", false, vl::kSignatureErrorMessage, kSignatureFailed},
        {L"signed/VLWidgetKernel.exe", true, vl::kComputerErrorMessage, "VLWidgetKernel.exe] cannot be held"},
    };
    const std::wstring kernel = HomeFolder() + L"\\VLWidgetKernel.exe";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.installed);
        ResetProductState();
        ASSERT_TRUE(CreateControl());
        ASSERT_TRUE(InstallIntoHome(c.installed, L"VLWidgetKernel.exe"));
        vl::UniqueHandle writer;
        if (c.openForWriting)
            writer.reset(::CreateFileW(kernel.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        RecordShellStarts(false);
        // The first call's registration run has had its say.
        vl::UniqueBstr text;
        control->GetVersion(text.put());
        const StepLog log;
        ErrorBoxWatcher box(L"vorlink! ActiveX (VLServiceAdapterImpl:2121)");
        EXPECT_EQ(Initialize2(L"1.0.0.10", S_FALSE), static_cast<ULONG>(VLS_FAIL));
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
    for (const ProgramStart& c : kStarts) {
        SCOPED_TRACE(c.name);
        // Installed after the control's creation: its registration run of the kernel would
        // hold the file too.
        ASSERT_TRUE(CreateControl());
        ASSERT_TRUE(InstallIntoHome(c.installed, c.name));
        // The name a program of the user knows, and the folders it resolves to.
        const std::wstring target = HomeFolder() + L"\\" + c.name, home = ResolvedHomeFolder(),
                           documents = home.substr(0, home.rfind(L'\\'));
        // Before the "start", what a local attacker would try, in this order: overwrite,
        // rename and delete the file, rename its folders (which could come back as links to
        // other folders); and read it, which is all that starting it needs.
        std::vector<DWORD> tried;
        RecordShellStarts(false, [&] {
            tried = {Outcome(::CopyFileW(BuildFile(L"sign_sample_forged.exe").c_str(), target.c_str(), FALSE)),
                     Outcome(::MoveFileExW(target.c_str(), (target + L".old").c_str(), MOVEFILE_REPLACE_EXISTING)),
                     Outcome(::DeleteFileW(target.c_str())),
                     Outcome(::MoveFileExW(home.c_str(), (home + L".old").c_str(), 0)),
                     Outcome(::MoveFileExW(documents.c_str(), (documents + L".old").c_str(), 0)),
                     Outcome(vl::UniqueHandle(::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                            OPEN_EXISTING, 0, nullptr))
                                 .valid())};
            FakeKernelStarted();
        });

        EXPECT_TRUE(c.start(*adapter));
        ASSERT_EQ(RecordedStarts().size(), 1u);
        EXPECT_EQ(RecordedStarts()[0].file, L"\"" + home + L"\\" + c.name + L"\"");
        constexpr DWORD kHeld = ERROR_SHARING_VIOLATION;
        EXPECT_EQ(tried, (std::vector<DWORD>{kHeld, kHeld, kHeld, kHeld, kHeld, ERROR_SUCCESS}));
        // Let go once started.
        EXPECT_TRUE(::DeleteFileW(target.c_str())) << ::GetLastError();
        control.reset();
    }
}

// The kernel that runs is the one checked, started from its folder by its resolved name:
// in Wine's own layout (Documents a link to a folder outside drive_c, as the prefix has
// it), with Documents a plain folder, with the kernel a link to a signed one elsewhere, and
// with "My Vorlink" a link to a folder with the signed kernel that is re-pointed to a folder
// with an unsigned one between check and start, whether it starts directly (from an
// elevated process) or through the shell.
TEST_F(ProgramStartTest, TheKernelThatRunsIsTheCheckedOneByItsResolvedName)
{
    ASSERT_NE(ResolvedHomeFolder(), HomeFolder()) << "the prefix's Documents is a link, as Wine makes it";
    enum Layout { WinesDocuments, PlainDocuments, LinkedKernel, RePointedHome };
    const struct {
        const char* what;
        Layout layout;
        bool elevatedProcess;
    } cases[] = {{"Documents a link", WinesDocuments, false},
                 {"Documents a plain folder", PlainDocuments, false},
                 {"the kernel a link", LinkedKernel, false},
                 {"re-pointed, started directly", RePointedHome, true},
                 {"re-pointed, started through the shell", RePointedHome, false}};
    const std::wstring name = L"VLWidgetKernel.exe";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder documents, checked, other;
        std::optional<RedirectedDocuments> redirected;
        if (c.layout == PlainDocuments) redirected.emplace(documents.Path());
        ResetProductState();
        ASSERT_TRUE(CreateControl());
        std::wstring kernel = ResolvedHomeFolder() + L"\\" + name;
        std::optional<PlantedLink> link;
        if (c.layout == LinkedKernel || c.layout == RePointedHome) {
            ASSERT_TRUE(::CopyFileW(BuildFile(L"signed/VLWidgetKernel.exe").c_str(), checked.File(name).c_str(),
                                    FALSE));
            ASSERT_TRUE(::CopyFileW(BuildFile(L"tools/kernel/VLWidgetKernel.exe").c_str(), other.File(name).c_str(),
                                    FALSE));
            if (c.layout == RePointedHome) {
                RemoveHomeFolder();
                link.emplace(HomeFolder(), checked.Path());
            } else {
                link.emplace(HomeFolder() + L"\\" + name, checked.File(name));
            }
            ASSERT_TRUE(link->Planted());
            kernel = ResolvedPath(checked.File(name));
        } else {
            ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", name));
        }
        bool rePointed = false;
        RecordShellStarts(true, [&] {
            if (c.layout != RePointedHome) return;
            link.reset();
            link.emplace(HomeFolder(), other.Path());
            rePointed = link->Planted();
        });
        if (c.elevatedProcess) vl::Platform().isProcessElevated = [] { return true; };

        EXPECT_TRUE(adapter->CoreForTesting().StartWidgetKernel());
        EXPECT_EQ(rePointed, c.layout == RePointedHome);
        ASSERT_EQ(RecordedStarts().size(), 1u);
        EXPECT_EQ(RecordedStarts()[0].file, L"\"" + kernel + L"\"");
        EXPECT_EQ(RecordedStarts()[0].directory, kernel.substr(0, kernel.rfind(L'\\')));
        EXPECT_EQ(_wcsicmp(RunningKernelImage().c_str(), kernel.c_str()), 0) << RunningKernelImage();
        control.reset();
        EndRunningKernels();
    }
}

// The user's classes may give "runas" a command of their own: an elevated start uses the
// machine's class of programs, whose command the user cannot write.
TEST_F(ProgramStartTest, AUsersRunasCommandChangesNothing)
{
    const wchar_t runas[] = L"Software\\Classes\\exefile\\shell\\runas\\command";
    const std::wstring redirected = L"\"" + BuildFile(L"sign_sample.exe") + L"\" \"%1\"";
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, runas, nullptr, REG_SZ, redirected.c_str(),
                                static_cast<DWORD>((redirected.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    vl::UniqueRegKey machineClass;
    ASSERT_EQ(
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\exefile", 0, KEY_QUERY_VALUE, machineClass.put()),
        ERROR_SUCCESS);
    const std::wstring machine = RunasCommand(machineClass.get());
    ASSERT_FALSE(machine.empty());

    for (const ProgramStart& c : kStarts) ASSERT_TRUE(InstallIntoHome(c.installed, c.name));
    ASSERT_TRUE(CreateControl());
    RecordShellStarts(false, [&] { FakeKernelStarted(); });
    for (const ProgramStart& c : kStarts) EXPECT_TRUE(c.start(*adapter)) << c.name;
    ASSERT_EQ(RecordedStarts().size(), 2u);
    for (const ShellStart& start : RecordedStarts()) {
        EXPECT_EQ(start.verb, L"runas") << start.file;
        EXPECT_EQ(start.classCommand, machine) << start.file;
    }
}
