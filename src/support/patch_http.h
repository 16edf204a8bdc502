// The form's HTTP client, used to fetch the updater: HEAD and GET requests on WinINet over
// a direct connection (no proxy) that return when the answer is complete or the time
// limit has passed, the body collected in memory, progress reported as the number of
// bytes received so far.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>


namespace vl {

inline constexpr std::size_t kMaxStatusLineLength = 160;

enum class WorkMode { Read, Write };

struct HttpClientSettings {
    std::wstring userAgent = L"Mozilla/3.0 (compatible; Indy Library)";
    std::wstring accept = L"text/html, */*";
    bool allowCookies = true;

    // Bounds of a transfer, so that no server can exhaust the page's memory or hold its
    // thread for good. The updater is under 1 MiB.
    std::int64_t maxBodyBytes = 64 * 1024 * 1024;
    // Connecting, sending and each wait for more of the answer.
    DWORD silenceTimeoutMs = 30 * 1000;
    // A whole request, HEAD or GET, headers included, against a server that trickles just
    // fast enough never to be silent that long: 1 MiB within it needs 28 kbit/s.
    DWORD transferTimeLimitMs = 5 * 60 * 1000;
};

// The outcome of one request. `error` is empty on success; otherwise it is the text of
// the failure ("HTTP/1.1 404 Not Found" for an error status or a redirection, the system's
// text for a failed connection or a timeout, or the bound a transfer passed) and the other
// members hold what was known by then; nothing, when the time limit passed. Text from the
// server in it is cut to kMaxStatusLineLength characters and stripped of control
// characters.
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
    // For the requests from now on.
    void SetSettings(HttpClientSettings settings);

    // Receives the number of body bytes received so far in the current transfer: 0 when
    // the body of a GET starts, then after every block; on the calling thread.
    std::function<void(PatchHttp& sender, WorkMode mode, std::int64_t workCount)> OnWork;

    // Each request has a connection of its own, made on a thread of its own while the
    // calling thread waits; the calling thread waits no longer than transferTimeLimitMs,
    // wherever the request is then, and gives the request up. A status of 300 or more is
    // a failure: redirections are not followed. A GET fails before it reads the body when
    // the server announces more than maxBodyBytes, and stops reading a body that grows
    // beyond it.
    HttpResult Head(const std::wstring& url);
    HttpResult Get(const std::wstring& url);

private:
    HttpResult Send(const std::wstring& url, const wchar_t* verb, bool readBody);

    HttpClientSettings m_settings;
};

} // namespace vl
