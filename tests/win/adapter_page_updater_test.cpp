// The updater decisions on major version 6 that other tests leave out: Initialize taking
// the page address from the hosting document, the development setting, a local updater
// that fails the check, and downloads whose GET or whose write fails.
// ctest: RESOURCE_LOCK product_state
// ctest-netns: --head-only-for VLUpdate_9_9_9_4.exe
// ctest-link: pagehost_objects
#include <gtest/gtest.h>

#include "com_new.h"
#include "control_site.h"
#include "host_window.h"
#include "page_document.h"
#include "page_frame.h"
#include "fixtures/adapter_fixture.h"
#include "fixtures/error_box_watcher.h"
#include "fixtures/patch_root.h"
#include "support/product_registry.h"
#include "fixtures/step_log.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"
#include "tables/portable/endpoint_table.h"

using namespace vl::test;

namespace {

const std::wstring kRegion = L"TW;Production";

std::wstring InstallPage()
{
    return vl::LookupEndpoint(kRegion, vl::kInstallPageRole);
}

class PageUpdaterTest : public AdapterTest {
protected:
    void SetUp() override
    {
        OSVERSIONINFOA version{};
        version.dwOSVersionInfoSize = sizeof version;
        if (!::GetVersionExA(&version) || version.dwMajorVersion != 6) GTEST_SKIP() << "major version 6 only";
        AdapterTest::SetUp();
        ASSERT_FALSE(PatchRoot().empty()) << "runs in the test network only";
        RecordShellStarts(false);
    }

    void Publish(const std::wstring& buildFile, const std::wstring& name)
    {
        const std::wstring url = vl::LookupEndpoint(kRegion, vl::kPatchBaseRole) + name;
        ASSERT_TRUE(PutPatchFile(url, ReadFileBytes(BuildFile(buildFile))));
    }

    // Initialize on a page at `address` (none: the control has no client site).
    ULONG InitializeOnPage(const wchar_t* address)
    {
        vl::pagehost::HostWindow window;
        vl::ComPtr<vl::pagehost::ControlSite> site;
        if (address) {
            EXPECT_TRUE(window.Create(L"page", 200, 100));
            auto document = vl::pagehost::NewComObject<vl::pagehost::PageDocument>(address);
            auto frame = vl::pagehost::NewComObject<vl::pagehost::PageFrame>(window.Handle());
            site = vl::pagehost::NewComObject<vl::pagehost::ControlSite>(
                window.Handle(), vl::ComPtr<IOleContainer>(document.get()), vl::ComPtr<IOleInPlaceFrame>(frame.get()));
            EXPECT_EQ(QueryAs<IOleObject>(control.get())->SetClientSite(site.get()), S_OK);
        }
        vl::UniqueBstr region{std::wstring_view(kRegion)}, required{std::wstring_view(L"1.0.0.10")};
        ULONG result = 99;
        EXPECT_EQ(control->Initialize(region.get(), required.get(), nullptr, 0, &result), S_OK);
        if (site) QueryAs<IOleObject>(control.get())->SetClientSite(nullptr);
        return result;
    }

    ULONG Initialize2(const std::wstring& updaterVersion)
    {
        vl::UniqueBstr updater{std::wstring_view(updaterVersion)};
        control->SetUpdatorVersion(updater.get());
        vl::UniqueBstr region{std::wstring_view(kRegion)}, required{std::wstring_view(L"1.0.0.10")},
            page{std::wstring_view(InstallPage())};
        ULONG result = 99;
        EXPECT_EQ(control->Initialize2(region.get(), required.get(), nullptr, 0, page.get(), &result), S_OK);
        return result;
    }

    std::wstring LocalUpdater() const { return HomeFolder() + L"\\VLUpdate.exe"; }

    template <typename I>
    static vl::ComPtr<I> QueryAs(IUnknown* object)
    {
        vl::ComPtr<I> result;
        EXPECT_EQ(object->QueryInterface(__uuidof(I), result.put_void()), S_OK);
        return result;
    }
};

TEST_F(PageUpdaterTest, InitializeDecidesWithTheAddressOfItsDocument)
{
    Publish(L"signed/VLUpdate.exe", L"VLUpdate.exe");
    const std::wstring install = InstallPage();
    const std::wstring updater = L"\"" + ResolvedHomeFolder() + L"\\VLUpdate.exe\"";
    const struct {
        const wchar_t* page;
        ULONG result;
        const wchar_t* started; // quoted program path, or null for nothing
    } cases[] = {
        {L"http://tw.vorlink.com/play.aspx", VLS_HAVE_TO_UPDATE,
         L"\"C:\\Program Files\\Internet Explorer\\iexplore.exe\""},
        {install.c_str(), VLS_HAVE_TO_UPDATE, updater.c_str()},
        {nullptr, VLS_FAIL, nullptr},
        // A document makes the page's script an untrusted caller, safety option or not.
        {L"http://games.example.net/play.aspx", VLS_PERMISSION_DENIED, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page ? c.page : L"no client site");
        ResetProductState();
        RecordedStarts().clear();
        ASSERT_TRUE(CreateControl());
        EXPECT_EQ(InitializeOnPage(c.page), c.result);
        EXPECT_EQ(adapter->CoreForTesting().PageAddressForTesting(), c.page && c.result != VLS_PERMISSION_DENIED ? c.page : L"");
        ASSERT_EQ(RecordedStarts().size(), c.started ? 1u : 0u);
        if (!c.started) continue;
        EXPECT_EQ(RecordedStarts()[0].file, c.started);
        EXPECT_EQ(RecordedStarts()[0].verb, L"runas");
    }
}

// The development setting uses an unsigned local updater without checking it.
TEST_F(PageUpdaterTest, DevelopmentSettingStartsAnUnsignedLocalUpdater)
{
    ASSERT_TRUE(SetDevelopmentMode());
    ASSERT_TRUE(InstallIntoHome(L"tools/updater/VLUpdate.exe", L"VLUpdate.exe"));
    ASSERT_TRUE(CreateControl());
    const StepLog log;
    const ULONG result = Initialize2(L"");
    EXPECT_EQ(result, static_cast<ULONG>(VLS_HAVE_TO_UPDATE));
    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedStarts()[0].file, L"\"" + ResolvedHomeFolder() + L"\\VLUpdate.exe\"");
    EXPECT_EQ(log.Count("the Torvane signature was corrected."), 2u) << log.Text();
    EXPECT_EQ(log.Count("start download"), 0u);
}

TEST_F(PageUpdaterTest, ALocalUpdaterThatFailsTheCheckIsReplacedByAFreshDownload)
{
    ASSERT_TRUE(InstallIntoHome(L"tools/updater/VLUpdate.exe", L"VLUpdate.exe"));
    Publish(L"signed/VLUpdate.exe", L"VLUpdate.exe");
    ASSERT_TRUE(CreateControl());
    EXPECT_EQ(Initialize2(L""), static_cast<ULONG>(VLS_HAVE_TO_UPDATE));
    EXPECT_EQ(ReadFileBytes(LocalUpdater()), ReadFileBytes(BuildFile(L"signed/VLUpdate.exe")));
    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedStarts()[0].verb, L"runas");
}

TEST_F(PageUpdaterTest, AFailedGetShowsItsErrorBox)
{
    Publish(L"signed/VLUpdate.exe", L"VLUpdate_9_9_9_4.exe");
    ASSERT_TRUE(CreateControl());
    ErrorBoxWatcher box(L"vorlink! ActiveX (VLServiceAdapterImpl:1888)");
    EXPECT_EQ(Initialize2(L"9.9.9.4"), static_cast<ULONG>(VLS_FAIL));
    EXPECT_NE(box.Text().find(L"500"), std::wstring::npos);
    EXPECT_TRUE(RecordedStarts().empty());
}

// The updater cannot be written where a folder takes its name; the check still runs, on
// what is there, and refuses it.
TEST_F(PageUpdaterTest, AFailedWriteStillReachesTheCheck)
{
    ASSERT_TRUE(::CreateDirectoryW(LocalUpdater().c_str(), nullptr));
    Publish(L"signed/VLUpdate.exe", L"VLUpdate_2_0_1_7.exe");
    ASSERT_TRUE(CreateControl());
    ErrorBoxWatcher writeBox(L"vorlink! ActiveX (VLServiceAdapterImpl:1900)");
    ErrorBoxWatcher checkBox(L"vorlink! ActiveX (VLServiceAdapterImpl:1919)");
    EXPECT_EQ(Initialize2(L"2.0.1.7"), static_cast<ULONG>(VLS_FAIL));
    EXPECT_FALSE(writeBox.Text().empty());
    EXPECT_NE(checkBox.Text().find(LocalUpdater()), std::wstring::npos);
    EXPECT_TRUE(RecordedStarts().empty());
}

} // namespace
