#include "kernel_download.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>

#include "support/win_handles.h"

namespace vl {

namespace {

constexpr DWORD kTimeoutMs = 30000;

DownloadResult Failure(const std::wstring& what)
{
    return {{}, what + L" (error " + std::to_wstring(::GetLastError()) + L")"};
}

} // namespace

DownloadResult DownloadFile(const std::wstring& url, const std::function<void(int)>& progress)
{
    const UniqueInternetHandle session(::InternetOpenW(L"VLUpdate", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) return Failure(L"No Internet session");
    DWORD timeout = kTimeoutMs;
    ::InternetSetOptionW(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    ::InternetSetOptionW(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    const UniqueInternetHandle request(::InternetOpenUrlW(
        session.get(), url.c_str(), nullptr, 0,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES, 0));
    if (!request) return Failure(L"Cannot reach " + url);

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return Failure(L"No HTTP status from " + url);
    if (status != HTTP_STATUS_OK) return {{}, L"HTTP status " + std::to_wstring(status) + L" for " + url};
    DWORD length = 0;
    size = sizeof length;
    const bool lengthKnown = ::HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                                              &length, &size, nullptr) != FALSE;

    DownloadResult result;
    int percent = -1;
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!::InternetReadFile(request.get(), buffer, sizeof buffer, &read)) return Failure(L"Transfer broken");
        if (read == 0) break;
        result.bytes.append(buffer, read);
        if (lengthKnown && length > 0) {
            const int now = static_cast<int>(std::min<std::uint64_t>(100, result.bytes.size() * 100ull / length));
            if (now > percent) progress(percent = now);
        }
    }
    if (lengthKnown && result.bytes.size() != length)
        return {{}, L"Received " + std::to_wstring(result.bytes.size()) + L" of " + std::to_wstring(length) + L" bytes"};
    return result;
}

} // namespace vl
