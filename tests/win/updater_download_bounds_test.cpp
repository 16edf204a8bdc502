// The updater download within bounds, against servers that misbehave on purpose: an
// announced length beyond reason, a body without length beyond the cap, a trickle of the
// whole answer, headers included, a slow transfer, a redirection and a status line full
// of control characters.
// ctest: RESOURCE_LOCK product_state
// ctest-netns: --huge-length-for VLUpdate_9_9_8_1.exe --trickle-for VLUpdate_9_9_8_2.exe --trickle-delay-ms 3000
// ctest-netns: --redirect-for VLUpdate_9_9_8_3.exe --hostile-reason-for VLUpdate_9_9_8_4.exe
// ctest-netns: --no-length-for unbounded.bin --slow-for slow.bin --trickle-for trickle.bin
#include <gtest/gtest.h>

#include <functional>

#include "adapter/portable/updater_choices.h"
#include "fixtures/adapter_fixture.h"
#include "fixtures/error_box_watcher.h"
#include "fixtures/patch_root.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"
#include "tables/portable/endpoint_table.h"

using namespace vl::test;

namespace {

const std::wstring kRegion = L"TW;Production";

std::wstring PatchUrl(const std::wstring& name)
{
    return vl::LookupEndpoint(kRegion, vl::kPatchBaseRole) + name;
}

bool HasControlCharacters(const std::wstring& text)
{
    for (const wchar_t c : text)
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
    return false;
}

class DownloadBoundsTest : public AdapterTest {
protected:
    void SetUp() override
    {
        AdapterTest::SetUp();
        ASSERT_FALSE(PatchRoot().empty()) << "runs in the test network only";
    }
};

} // namespace

TEST_F(DownloadBoundsTest, MisbehavingServersFailTheDownloadWithABoundedErrorBox)
{
    const struct {
        const wchar_t* version;
        int line; // of the error box: 1867 for the HEAD request, 1888 for the GET
        std::function<void(const std::wstring& text)> check;
        DWORD silenceTimeoutMs;
    } cases[] = {
        {L"9.9.8.1", 1888,
         [](const std::wstring& text) {
             EXPECT_EQ(text, L"The server announces 1099511627776 bytes, more than 67108864 allowed");
         },
         30000},
        // One byte every 3 s, the status line first: each wait for the next ends after 1 s
        // of silence.
        {L"9.9.8.2", 1867,
         [](const std::wstring& text) {
             // WinINet's timeout; Wine passes on the socket's, or, in the headers, ends
             // the connection.
             EXPECT_TRUE(text.find(L"12002") != std::wstring::npos || text.find(L"10060") != std::wstring::npos ||
                         text.find(L"12030") != std::wstring::npos)
                 << text;
         },
         1000},
        {L"9.9.8.3", 1867, [](const std::wstring& text) { EXPECT_EQ(text, L"HTTP/1.1 302 Found"); }, 30000},
        {L"9.9.8.4", 1867,
         [](const std::wstring& text) {
             EXPECT_EQ(text.rfind(L"HTTP/1.1 500 Internal Error", 0), 0u) << text;
             EXPECT_LE(text.size(), vl::kMaxStatusLineLength);
             EXPECT_FALSE(HasControlCharacters(text)) << text;
         },
         30000},
    };
    const std::string updater = ReadFileBytes(BuildFile(L"signed/VLUpdate.exe"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        const std::wstring name = vl::RemoteUpdaterName(c.version);
        ASSERT_TRUE(PutPatchFile(PatchUrl(name), updater));
        // What a redirection points to is there too: only not following it keeps it away.
        ASSERT_TRUE(PutPatchFile(PatchUrl(L"moved/" + name), updater));

        ASSERT_TRUE(CreateControl());
        RecordShellStarts(false);
        vl::HttpClientSettings settings = adapter->Form().m_PatchHttp.Settings();
        settings.silenceTimeoutMs = c.silenceTimeoutMs;
        adapter->Form().m_PatchHttp.SetSettings(settings);
        vl::UniqueBstr updaterVersion{std::wstring_view(c.version)};
        control->SetUpdatorVersion(updaterVersion.get());

        ErrorBoxWatcher box(L"vorlink! ActiveX (VLServiceAdapterImpl:" + std::to_wstring(c.line) + L")");
        vl::UniqueBstr region{std::wstring_view(kRegion)}, required{std::wstring_view(L"1.0.0.10")},
            site{std::wstring_view(vl::LookupEndpoint(kRegion, vl::kInstallPageRole))};
        ULONG result = 99;
        EXPECT_EQ(control->Initialize2(region.get(), required.get(), nullptr, 0, site.get(), &result), S_OK);
        EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
        c.check(box.Text());
        EXPECT_TRUE(RecordedStarts().empty());
        EXPECT_EQ(::GetFileAttributesW((HomeFolder() + L"\\VLUpdate.exe").c_str()), INVALID_FILE_ATTRIBUTES);
        control.reset();
    }
    for (const std::string& request : PatchRequests()) EXPECT_EQ(request.find("/moved/"), std::string::npos) << request;
}

TEST(DownloadBounds, ABodyIsCutOffAtTheSizeAndTimeBounds)
{
    ASSERT_FALSE(PatchRoot().empty()) << "runs in the test network only";
    // 100 KiB each: without a length, and at 1 KiB per 100 ms.
    const std::string file(100 * 1024, 'x');
    ASSERT_TRUE(PutPatchFile(PatchUrl(L"unbounded.bin"), file));
    ASSERT_TRUE(PutPatchFile(PatchUrl(L"slow.bin"), file));

    vl::HttpClientSettings settings;
    settings.maxBodyBytes = 64 * 1024;
    settings.transferTimeLimitMs = 1000;
    vl::PatchHttp http(settings);

    const vl::HttpResult unbounded = http.Get(PatchUrl(L"unbounded.bin"));
    EXPECT_EQ(unbounded.error, L"The answer is longer than 65536 bytes");
    EXPECT_LE(unbounded.body.size(), 64u * 1024);

    settings.maxBodyBytes = 1024 * 1024;
    http.SetSettings(settings);
    const DWORD start = ::GetTickCount();
    const vl::HttpResult slow = http.Get(PatchUrl(L"slow.bin"));
    EXPECT_EQ(slow.error, L"The transfer took longer than 1000 ms");
    EXPECT_LT(::GetTickCount() - start, 5000u);
    EXPECT_LT(slow.body.size(), file.size());
}

// A byte of the headers every 3 s is never 30 s of silence; the whole request still ends at
// its limit, HEAD as GET. Without that limit the headers alone would take minutes, past
// the test's own time limit.
TEST(DownloadBounds, TrickledHeadersEndAtTheWholeRequestsLimit)
{
    ASSERT_FALSE(PatchRoot().empty()) << "runs in the test network only";
    ASSERT_TRUE(PutPatchFile(PatchUrl(L"trickle.bin"), std::string(1024, 'x')));
    vl::HttpClientSettings settings;
    settings.transferTimeLimitMs = 1000;
    vl::PatchHttp http(settings);
    const std::function<vl::HttpResult()> requests[] = {[&] { return http.Head(PatchUrl(L"trickle.bin")); },
                                                        [&] { return http.Get(PatchUrl(L"trickle.bin")); }};
    for (const auto& request : requests) {
        const DWORD start = ::GetTickCount();
        const vl::HttpResult result = request();
        EXPECT_EQ(result.error, L"The transfer took longer than 1000 ms");
        EXPECT_EQ(result.status, 0u);
        // The limit, and the second byte it ends the wait for well before its time.
        EXPECT_LT(::GetTickCount() - start, 2500u);
    }
    // The next request starts afresh.
    settings.transferTimeLimitMs = 30000;
    http.SetSettings(settings);
    EXPECT_TRUE(http.Head(PatchUrl(L"unbounded.bin")).Succeeded());
}
