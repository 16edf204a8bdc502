// The form's HTTP client, used to fetch the updater: synchronous HEAD and GET requests on
// WinINet over a direct connection (no proxy), the body collected in memory, progress
// reported as the number of bytes received so far.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/win_handles.h"

namespace vl {

enum class WorkMode { Read, Write };

struct HttpClientSettings {
    std::wstring userAgent = L"Mozilla/3.0 (compatible; Indy Library)";
    std::wstring accept = L"text/html, */*";
    bool allowCookies = true;
};

// The outcome of one request. `error` is empty on success; otherwise it is the text of
// the failure ("HTTP/1.1 404 Not Found" for an error status, the system's text for a
// failed connection) and the other members hold what was known by then.
struct HttpResult {
    std::wstring error;
    DWORD status = 0;
    std::optional<std::int64_t> contentLength; // none when the answer carries no Content-Length
    std::vector<std::uint8_t> body;            // GET only

    bool Succeeded() const { return error.empty(); }
};

class PatchHttp {
public:
    explicit PatchHttp(HttpClientSettings settings = {});
    PatchHttp(const PatchHttp&) = delete;
    PatchHttp& operator=(const PatchHttp&) = delete;

    const HttpClientSettings& Settings() const { return m_settings; }
    void SetSettings(HttpClientSettings settings);

    // Receives the number of body bytes received so far in the current transfer: 0 when
    // a GET starts, then after every block.
    std::function<void(PatchHttp& sender, WorkMode mode, std::int64_t workCount)> OnWork;

    // Both close any open connection first. A status of 400 or more is a failure.
    HttpResult Head(const std::wstring& url);
    HttpResult Get(const std::wstring& url);

    // Closes the open connection and request, if any.
    void Disconnect();

private:
    HttpResult Send(const std::wstring& url, const wchar_t* verb, bool readBody);
    void ReadBody(HttpResult& result);

    HttpClientSettings m_settings;
    UniqueInternetHandle m_session;
    UniqueInternetHandle m_connection;
    UniqueInternetHandle m_request;
};

} // namespace vl
