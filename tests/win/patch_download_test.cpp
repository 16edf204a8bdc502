// ctest-netns: --no-length-for no_length.exe --short-body-for short_body.exe --slow-for slow.exe --slow-delay-ms 50
//
// The test network as WinINet sees it: the endpoint table's patch hosts resolve to our
// patch server, which serves the patch root and misbehaves on request.
// ctest-twin: skip
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <optional>
#include <string>

#include "fixtures/patch_root.h"
#include "support/win_handles.h"
#include "tables/portable/endpoint_table.h"

using namespace vl;
using vl::test::PatchRequests;
using vl::test::PutPatchFile;

namespace {

const std::wstring kTwPatchBase = LookupEndpoint(L"TW;Production", kPatchBaseRole);
const std::wstring kUsAlphaPatchBase = LookupEndpoint(L"US;Alpha", kPatchBaseRole);

struct Response {
    DWORD status = 0;
    std::optional<DWORD> contentLength;
    DWORD contentLengthError = 0; // why HttpQueryInfo gave no length
    std::string body;
    bool readFailed = false; // an InternetReadFile call failed rather than reporting the end
};

// Bytes that are not text: NULs, every byte value, and no repetition at block boundaries.
std::string Payload(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class PatchDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(vl::test::PatchRoot().empty()) << "runs only in the test network (ctest)";
        m_session.reset(::InternetOpenW(L"patch_download_test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
        ASSERT_TRUE(m_session);
    }

    Response Fetch(const std::wstring& url, const wchar_t* verb)
    {
        Response response;
        wchar_t host[256] = {};
        wchar_t path[2048] = {};
        URL_COMPONENTSW parts{};
        parts.dwStructSize = sizeof parts;
        parts.lpszHostName = host;
        parts.dwHostNameLength = std::size(host);
        parts.lpszUrlPath = path;
        parts.dwUrlPathLength = std::size(path);
        EXPECT_TRUE(::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) << "bad URL";

        UniqueInternetHandle connection(::InternetConnectW(m_session.get(), host, parts.nPort, nullptr, nullptr,
                                                           INTERNET_SERVICE_HTTP, 0, 0));
        UniqueInternetHandle request(::HttpOpenRequestW(connection.get(), verb, path, nullptr, nullptr, nullptr,
                                                        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
        if (!::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) {
            ADD_FAILURE() << "HttpSendRequest failed: " << ::GetLastError();
            return response;
        }
        DWORD size = sizeof response.status;
        ::HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &response.status, &size,
                         nullptr);
        DWORD length = 0;
        size = sizeof length;
        if (::HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size,
                             nullptr))
            response.contentLength = length;
        else
            response.contentLengthError = ::GetLastError();

        char block[4096];
        for (DWORD got = 0;; response.body.append(block, got)) {
            if (!::InternetReadFile(request.get(), block, sizeof block, &got)) {
                response.readFailed = true;
                break;
            }
            if (got == 0) break;
        }
        return response;
    }

    UniqueInternetHandle m_session;
};

TEST_F(PatchDownloadTest, TheTablesPatchHostsServeThePatchRoot)
{
    ASSERT_EQ(kTwPatchBase, L"http://patch.tw.vorlink.com/vorlink05/");
    const std::string updater = Payload(300 * 1024 + 17);
    for (const std::wstring& base : {kTwPatchBase, kUsAlphaPatchBase}) {
        SCOPED_TRACE(std::string(base.begin(), base.end()));
        ASSERT_TRUE(PutPatchFile(base + L"VLUpdate.exe", updater));

        const Response head = Fetch(base + L"VLUpdate.exe", L"HEAD");
        EXPECT_EQ(head.status, 200u);
        EXPECT_EQ(head.contentLength, updater.size());
        EXPECT_TRUE(head.body.empty());

        const Response get = Fetch(base + L"VLUpdate.exe", L"GET");
        EXPECT_EQ(get.status, 200u);
        EXPECT_EQ(get.contentLength, updater.size());
        EXPECT_FALSE(get.readFailed);
        EXPECT_TRUE(get.body == updater) << get.body.size() << " bytes";
    }
    const auto requests = PatchRequests();
    for (const char* expected : {"HEAD /vorlink05/VLUpdate.exe patch.tw.vorlink.com",
                                 "GET /vorlink05/VLUpdate.exe patch.tw.vorlink.com",
                                 "HEAD /USVorlink/VLUpdate.exe download.vorlink.com",
                                 "GET /USVorlink/VLUpdate.exe download.vorlink.com"})
        EXPECT_NE(std::ranges::find(requests, expected), requests.end()) << expected;
}

TEST_F(PatchDownloadTest, AMissingFileIsAnAnswerNotAFailure)
{
    for (const wchar_t* verb : {L"HEAD", L"GET"}) {
        const Response response = Fetch(kTwPatchBase + L"VLUpdate_9_9_9_9.exe", verb);
        EXPECT_EQ(response.status, 404u);
        EXPECT_FALSE(response.readFailed);
    }
}

TEST_F(PatchDownloadTest, WithoutContentLengthTheHeadHasNoSizeAndTheGetRunsToTheClose)
{
    const std::string updater = Payload(50 * 1024);
    ASSERT_TRUE(PutPatchFile(kTwPatchBase + L"no_length.exe", updater));

    const Response head = Fetch(kTwPatchBase + L"no_length.exe", L"HEAD");
    EXPECT_EQ(head.status, 200u);
    EXPECT_EQ(head.contentLength, std::nullopt);
    EXPECT_EQ(head.contentLengthError, static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND));

    const Response get = Fetch(kTwPatchBase + L"no_length.exe", L"GET");
    EXPECT_EQ(get.contentLength, std::nullopt);
    EXPECT_FALSE(get.readFailed);
    EXPECT_TRUE(get.body == updater) << get.body.size() << " bytes";
}

TEST_F(PatchDownloadTest, AShortBodyEndsEarlyWithoutAReadFailure)
{
    const std::string updater = Payload(64 * 1024 + 1);
    ASSERT_TRUE(PutPatchFile(kTwPatchBase + L"short_body.exe", updater));

    EXPECT_EQ(Fetch(kTwPatchBase + L"short_body.exe", L"HEAD").contentLength, updater.size());
    const Response get = Fetch(kTwPatchBase + L"short_body.exe", L"GET");
    EXPECT_EQ(get.contentLength, updater.size());
    // WinINet reports the close as the end of the body: only the count tells.
    EXPECT_FALSE(get.readFailed);
    EXPECT_TRUE(get.body == updater.substr(0, updater.size() / 2)) << get.body.size() << " bytes";
}

TEST_F(PatchDownloadTest, ASlowTransferArrivesWhole)
{
    const std::string updater = Payload(8 * 1024); // 8 blocks, 7 pauses of 50 ms
    ASSERT_TRUE(PutPatchFile(kTwPatchBase + L"slow.exe", updater));

    const DWORD start = ::GetTickCount();
    const Response get = Fetch(kTwPatchBase + L"slow.exe", L"GET");
    EXPECT_GE(::GetTickCount() - start, 300u);
    EXPECT_TRUE(get.body == updater) << get.body.size() << " bytes";
}

TEST_F(PatchDownloadTest, HostsOutsideTheTableDoNotResolve)
{
    UniqueInternetHandle request(::InternetOpenUrlW(m_session.get(), L"http://example.org/", nullptr, 0,
                                                    INTERNET_FLAG_RELOAD, 0));
    EXPECT_FALSE(request);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INTERNET_NAME_NOT_RESOLVED));
}

// The control's form is a real window: the display must be reachable from in here.
TEST(PatchDownloadNetwork, WindowsCanBeShown)
{
    UniqueWindow window(::CreateWindowExW(0, L"STATIC", L"netns", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                          nullptr, ::GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(window);
    ::ShowWindow(window.get(), SW_SHOW);
    ::UpdateWindow(window.get());
    EXPECT_TRUE(::IsWindowVisible(window.get()));
    HDC dc = ::GetDC(window.get());
    EXPECT_NE(dc, nullptr);
    ::ReleaseDC(window.get(), dc);
}

} // namespace
