// The updater download for real: the endpoint table's hosts answer from our patch server in
// the test network. The module under test uses its shipped endpoint table.
// ctest: RESOURCE_LOCK product_state
// ctest-netns: --no-length-for VLUpdate_9_9_9_1.exe --short-body-for VLUpdate_9_9_9_2.exe
// ctest-twin: skip
// ctest-wow64: run
#include <gtest/gtest.h>

#include <optional>

#include "fixtures/adapter_fixture.h"
#include "fixtures/error_box_watcher.h"
#include "fixtures/patch_root.h"
#include "fixtures/step_log.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"
#include "tables/portable/endpoint_table.h"
#include "module_version.h"
#include "support/portable/version_text.h"
#include "tables/portable/message_table.h"

using namespace vl::test;

namespace {

const std::wstring kRegion = L"TW;Production";

bool IsLegacySystem()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return ::GetVersionExA(&version) && version.dwMajorVersion != 6;
}

std::wstring PatchUrl(const std::wstring& name)
{
    return vl::LookupEndpoint(kRegion, vl::kPatchBaseRole) + name;
}

std::wstring InstallPage()
{
    return vl::LookupEndpoint(kRegion, vl::kInstallPageRole);
}

class UpdaterDownloadTest : public AdapterTest {
protected:
    void SetUp() override
    {
        AdapterTest::SetUp();
        ASSERT_FALSE(PatchRoot().empty()) << "runs in the test network only";
        ASSERT_TRUE(CreateControl());
        RecordShellStarts(false);
    }

    // Publishes a file of the build tree under `name` on the patch hosts.
    void Publish(const std::wstring& buildFile, const std::wstring& name)
    {
        ASSERT_TRUE(PutPatchFile(PatchUrl(name), ReadFileBytes(BuildFile(buildFile))));
    }

    ULONG Initialize(const std::wstring& updaterVersion, const std::wstring& page)
    {
        vl::UniqueBstr updater{std::wstring_view(updaterVersion)};
        control->SetUpdatorVersion(updater.get());
        vl::UniqueBstr region{std::wstring_view(kRegion)}, required{std::wstring_view(L"1.0.0.10")},
            site{std::wstring_view(page)};
        ULONG result = 99;
        EXPECT_EQ(control->Initialize2(region.get(), required.get(), nullptr, 0, site.get(), &result), S_OK);
        return result;
    }

    std::wstring LocalUpdater() const { return HomeFolder() + L"\\VLUpdate.exe"; }
};

class LegacyUpdaterTest : public UpdaterDownloadTest {
protected:
    void SetUp() override
    {
        if (!IsLegacySystem()) GTEST_SKIP() << "runs in the legacy run below";
        UpdaterDownloadTest::SetUp();
    }
};

class ElevatingUpdaterTest : public UpdaterDownloadTest {
protected:
    void SetUp() override
    {
        if (IsLegacySystem()) GTEST_SKIP() << "runs on major version 6 only";
        UpdaterDownloadTest::SetUp();
    }
};

} // namespace

TEST_F(ElevatingUpdaterTest, InstallPageDownloadsVerifiesAndStartsTheUpdaterElevated)
{
    Publish(L"signed/VLUpdate.exe", L"VLUpdate_2_0_1_7.exe");
    EXPECT_EQ(Initialize(L"2.0.1.7", InstallPage()), static_cast<ULONG>(VLS_HAVE_TO_UPDATE));
    EXPECT_EQ(ReadFileBytes(LocalUpdater()), ReadFileBytes(BuildFile(L"signed/VLUpdate.exe")));
    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedStarts()[0].verb, L"runas");
    EXPECT_EQ(RecordedStarts()[0].file, L"\"" + ResolvedHomeFolder() + L"\\VLUpdate.exe\"");
    EXPECT_EQ(RecordedStarts()[0].parameters, L"TW;Production 1.0.0.10");
    const auto requests = PatchRequests();
    ASSERT_GE(requests.size(), 2u);
    const std::string& head = requests[requests.size() - 2];
    const std::string& get = requests.back();
    EXPECT_EQ(head.rfind("HEAD ", 0), 0u);
    EXPECT_EQ(get.rfind("GET ", 0), 0u);
    EXPECT_NE(get.find("/VLUpdate_2_0_1_7.exe"), std::string::npos);
}

TEST_F(ElevatingUpdaterTest, AnswerWithoutContentLengthFailsSilently)
{
    Publish(L"signed/VLUpdate.exe", L"VLUpdate_9_9_9_1.exe");
    EXPECT_EQ(Initialize(L"9.9.9.1", InstallPage()), static_cast<ULONG>(VLS_FAIL));
    EXPECT_TRUE(RecordedStarts().empty());
    EXPECT_EQ(::GetFileAttributesW(LocalUpdater().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ElevatingUpdaterTest, ShortBodyFailsSilently)
{
    Publish(L"signed/VLUpdate.exe", L"VLUpdate_9_9_9_2.exe");
    EXPECT_EQ(Initialize(L"9.9.9.2", InstallPage()), static_cast<ULONG>(VLS_FAIL));
    EXPECT_TRUE(RecordedStarts().empty());
    EXPECT_EQ(::GetFileAttributesW(LocalUpdater().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ElevatingUpdaterTest, MissingUpdaterOnTheServerShowsTheHeadError)
{
    ErrorBoxWatcher box(L"vorlink! ActiveX (VLServiceAdapterImpl:1867)");
    EXPECT_EQ(Initialize(L"9.9.9.3", InstallPage()), static_cast<ULONG>(VLS_FAIL));
    EXPECT_NE(box.Text().find(L"404"), std::wstring::npos);
    EXPECT_TRUE(RecordedStarts().empty());
}

// A downloaded updater that fails the check is refused and deleted; the version rule is the
// page's version and the build's lowest updater version, which holds for the local and the
// downloaded updater whether the page asks for none or for an older one.
TEST_F(ElevatingUpdaterTest, AnUpdaterThatFailsTheCheckIsRefused)
{
    ASSERT_TRUE(vl::CompareVersionTexts(L"2.0.1.6", VL_MIN_UPDATER_VERSION_WTEXT).older)
        << "the cases take 2.0.1.6 for an updater below the build's lowest version";
    const wchar_t* const old = L"signed/VLUpdate_2_0_1_6.exe";
    const wchar_t* const recent = L"signed/VLUpdate.exe";
    const struct {
        const wchar_t* pageVersion;
        const wchar_t* local; // null for none
        const wchar_t* published;
        const wchar_t* remoteName;
        unsigned older; // updaters logged as older than the version rule; with none, a signature box
    } cases[] = {
        {L"2.0.1.7", nullptr, L"tools/updater/VLUpdate.exe", L"VLUpdate_2_0_1_7.exe", 0},
        // A self-made certificate that carries the maker's serial and name.
        {L"2.0.1.7", nullptr, L"sign_sample_forged.exe", L"VLUpdate_2_0_1_7.exe", 0},
        // The maker's certificate named as signer of what another key signed.
        {L"2.0.1.7", nullptr, L"sign_sample_substituted.exe", L"VLUpdate_2_0_1_7.exe", 0},
        // Genuine and signed, but older than asked for: found here, it would not do.
        {L"2.0.1.7", nullptr, old, L"VLUpdate_2_0_1_7.exe", 1},
        // Below the build's lowest version: the local one is passed over, and a downloaded
        // one as old is refused.
        {L"", old, old, L"VLUpdate.exe", 2},
        {L"2.0.1.6", old, old, L"VLUpdate_2_0_1_6.exe", 2},
        {L"", old, recent, L"VLUpdate.exe", 1},
        {L"2.0.1.6", old, recent, L"VLUpdate_2_0_1_6.exe", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.published) + L" published, " + (c.local ? L"an old one here, " : L"") +
                     L"the page asks for \"" + c.pageVersion + L"\"");
        ResetProductState();
        RecordedStarts().clear();
        if (c.local) {
            ASSERT_TRUE(InstallIntoHome(c.local, L"VLUpdate.exe"));
        }
        Publish(c.published, c.remoteName);
        const StepLog log;
        std::optional<ErrorBoxWatcher> box;
        if (c.older == 0) box.emplace(L"vorlink! ActiveX (VLServiceAdapterImpl:1919)");
        const bool started = std::wstring_view(c.published) == recent;
        EXPECT_EQ(Initialize(c.pageVersion, InstallPage()),
                  static_cast<ULONG>(started ? VLS_HAVE_TO_UPDATE : VLS_FAIL));
        if (box) {
            EXPECT_EQ(box->Text(),
                      vl::LookupMessageText(kRegion, vl::kSignatureErrorMessage) + L"\n(" + LocalUpdater() + L")");
        }
        EXPECT_EQ(log.Count("VLUpdate.exe] is older than the version rule allows."), c.older);
        EXPECT_EQ(RecordedStarts().size(), started ? 1u : 0u);
        if (started) {
            EXPECT_EQ(ReadFileBytes(LocalUpdater()), ReadFileBytes(BuildFile(recent)));
        } else { // not left for a later run to find
            EXPECT_EQ(::GetFileAttributesW(LocalUpdater().c_str()), INVALID_FILE_ATTRIBUTES);
        }
    }
}

TEST_F(ElevatingUpdaterTest, AnUpdaterVersionThatIsNoVersionFetchesNothing)
{
    const std::size_t requests = PatchRequests().size();
    EXPECT_EQ(Initialize(L"2.0.1.7/../../x", InstallPage()), static_cast<ULONG>(VLS_FAIL));
    EXPECT_EQ(PatchRequests().size(), requests);
    EXPECT_TRUE(RecordedStarts().empty());
}

// The platform's browser replaced, in this test's throwaway prefix, by one that records how
// it was started.
class BrowserStartTest : public ElevatingUpdaterTest {
protected:
    void SetUp() override
    {
        ElevatingUpdaterTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(::CopyFileW(BuildFile(L"browser_stand_in.exe").c_str(),
                                L"C:\\Program Files\\Internet Explorer\\iexplore.exe", FALSE));
        m_record = HomeFolder() + L"\\browser.txt";
        ::SetEnvironmentVariableW(L"VL_BROWSER_RECORD", m_record.c_str());
        RecordShellStarts(true);
        ASSERT_TRUE(InstallIntoHome(L"signed/VLUpdate_2_0_1_6.exe", L"VLUpdate.exe"));
    }

    // The browser's command line and window state, once it has run.
    std::wstring BrowserRecord()
    {
        PumpUntil([&] { return ::GetFileAttributesW(m_record.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
        ::Sleep(200);
        const std::string bytes = ReadFileBytes(m_record);
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    }

    // An address on the install page's own site.
    static std::wstring PortalPage()
    {
        const std::wstring install = InstallPage();
        return install.substr(0, install.find(L".com") + 4) + L"/games/play.aspx";
    }

private:
    std::wstring m_record;
};

TEST_F(BrowserStartTest, PageOfAnotherSiteOpensTheInstallPageInAShownBrowser)
{
    EXPECT_EQ(Initialize(L"2.0.1.7", L"http://games.example.net/play.aspx"), static_cast<ULONG>(VLS_HAVE_TO_UPDATE));
    const std::wstring record = BrowserRecord();
    EXPECT_NE(record.find(InstallPage()), std::wstring::npos) << record;
    EXPECT_EQ(record.substr(record.rfind(L'\n') + 1), L"1");
    EXPECT_EQ(RecordedStarts().at(0).verb, L"runas");
    EXPECT_EQ(RecordedStarts().at(0).file, L"\"C:\\Program Files\\Internet Explorer\\iexplore.exe\"");
    EXPECT_EQ(RecordedStarts().at(0).directory, L"C:\\Program Files\\Internet Explorer");
}

TEST_F(BrowserStartTest, PortalPageOpensTheInstallPageInAHiddenBrowser)
{
    EXPECT_EQ(Initialize(L"2.0.1.7", PortalPage()), static_cast<ULONG>(VLS_HAVE_TO_UPDATE));
    const std::wstring record = BrowserRecord();
    EXPECT_NE(record.find(InstallPage()), std::wstring::npos) << record;
    EXPECT_EQ(record.substr(record.rfind(L'\n') + 1), L"0");
}

TEST(LegacySystem, RunsTheLegacyCasesOnAnOlderWindows)
{
    if (IsLegacySystem()) GTEST_SKIP() << "this is the legacy run";
    // Wine reports the version named for the program under AppDefaults.
    const std::wstring key = L"Software\\Wine\\AppDefaults\\adapter_updater_test.exe";
    HKEY appKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &appKey,
                                nullptr),
              ERROR_SUCCESS);
    const wchar_t version[] = L"winxp";
    ::RegSetValueExW(appKey, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof version);
    ::RegCloseKey(appKey);

    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_filter=LegacyUpdaterTest.*";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                 &process));
    vl::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    EXPECT_EQ(::WaitForSingleObject(processHandle.get(), 180000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(processHandle.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

TEST_F(LegacyUpdaterTest, LegacySystemDownloadsTheRequiredUpdaterForAnyPage)
{
    EXPECT_TRUE(adapter->CoreForTesting().IsLegacyOSForTesting());
    ASSERT_TRUE(InstallIntoHome(L"signed/VLUpdate_2_0_1_6.exe", L"VLUpdate.exe"));
    Publish(L"signed/VLUpdate.exe", L"VLUpdate_2_0_1_7.exe");
    // The local 2.0.1.6 is older than required: a fresh copy is fetched, no page needed.
    EXPECT_EQ(Initialize(L"2.0.1.7", L""), static_cast<ULONG>(VLS_HAVE_TO_UPDATE));
    EXPECT_EQ(ReadFileBytes(LocalUpdater()), ReadFileBytes(BuildFile(L"signed/VLUpdate.exe")));
    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedStarts()[0].verb, L"");
    EXPECT_EQ(RecordedStarts()[0].file, L"\"" + ResolvedHomeFolder() + L"\\VLUpdate.exe\"");
}

TEST_F(LegacyUpdaterTest, LegacySystemUsesARecentEnoughLocalUpdater)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLUpdate.exe", L"VLUpdate.exe"));
    const std::size_t requestsBefore = PatchRequests().size();
    EXPECT_EQ(Initialize(L"2.0.1.7", L""), static_cast<ULONG>(VLS_HAVE_TO_UPDATE));
    EXPECT_EQ(PatchRequests().size(), requestsBefore);
    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedStarts()[0].verb, L"");
}

TEST_F(LegacyUpdaterTest, LegacySystemStartsTheKernelWithoutElevation)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    RecordShellStarts(true);
    EXPECT_TRUE(adapter->CoreForTesting().StartWidgetKernel());
    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedStarts()[0].verb, L"");
    EXPECT_EQ(RecordedStarts()[0].file, L"\"" + ResolvedHomeFolder() + L"\\VLWidgetKernel.exe\"");
}
