#include "support/patch_http.h"

#include <wininet.h>

#include <memory>
#include <string>
#include <utility>

#include "support/cancellable_request.h"
#include "support/detached_thread.h"
#include "support/portable/exception_boundary.h"
#include "support/portable/shown_text.h"
#include "support/win_handles.h"

namespace vl {

namespace {

constexpr DWORD kReadBlock = 8192;

// The system's text for a WinINet or system error code.
std::wstring ErrorText(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM |
                        FORMAT_MESSAGE_FROM_HMODULE;
    DWORD length = ::FormatMessageW(flags, ::GetModuleHandleW(L"wininet.dll"), code, 0,
                                    reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    const std::wstring number = L"Error " + std::to_wstring(code);
    return message.empty() ? number : number + L": " + message;
}

std::wstring LastErrorText()
{
    return ErrorText(::GetLastError());
}

std::wstring QueryText(HINTERNET request, DWORD info)
{
    std::wstring text(256, L'\0');
    DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!::HttpQueryInfoW(request, info, text.data(), &size, nullptr)) {
        // Longer than the buffer: WinINet holds it already and says how long it is.
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        text.assign(size / sizeof(wchar_t) + 1, L'\0');
        if (!::HttpQueryInfoW(request, info, text.data(), &size, nullptr)) return {};
    }
    text.resize(size / sizeof(wchar_t));
    return text;
}

std::optional<std::int64_t> QueryContentLength(HINTERNET request)
{
    const std::wstring text = QueryText(request, HTTP_QUERY_CONTENT_LENGTH);
    if (text.empty()) return std::nullopt;
    try {
        std::size_t used = 0;
        const long long length = std::stoll(text, &used);
        if (used != text.size() || length < 0) return std::nullopt;
        return length;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Windows hands a session's timeouts down to its requests; Wine takes those for sending and
// receiving only from the request itself. Both are given them.
void SetTimeouts(HINTERNET handle, DWORD timeoutMs)
{
    for (const DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD timeout = timeoutMs;
        ::InternetSetOptionW(handle, option, &timeout, sizeof timeout);
    }
}

// One request, shared by the page's thread, which waits for it at most the time limit,
// and the request's own thread, which makes the blocking calls. Whichever lets go of it
// last frees it: a request given up may still wait for its server on its thread.
struct Transfer {
    // Copied from the page's thread before the request's thread starts.
    HttpClientSettings settings;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object;
    std::wstring verb;
    DWORD flags = 0;
    bool readBody = false;

    // The request's thread's until `finished`, then the page's.
    HttpResult result;
    CancellableRequest request;

    CriticalSection lock;
    bool finished = false;            // guarded by lock
    std::vector<std::int64_t> work;   // body bytes received, not reported yet; guarded by lock
    UniqueHandle changed{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};

    void Report(std::int64_t received)
    {
        {
            CriticalSectionLock guard(lock);
            work.push_back(received);
        }
        ::SetEvent(changed.get());
    }
};

void ReadBody(Transfer& transfer)
{
    HttpResult& result = transfer.result;
    // The count restarts with every transfer, so a reader never sees the previous one's.
    transfer.Report(0);
    std::uint8_t block[kReadBlock];
    for (;;) {
        // A read returns only when its block is full; asking first what has arrived keeps
        // every wait within the receive timeout.
        DWORD available = 0;
        if (!transfer.request.Run(
                [&](HINTERNET request) { return ::InternetQueryDataAvailable(request, &available, 0, 0) != FALSE; })) {
            result.error = LastErrorText();
            return;
        }
        DWORD read = 0;
        if (available != 0 && !transfer.request.Run([&](HINTERNET request) {
                return ::InternetReadFile(request, block, available < kReadBlock ? available : kReadBlock, &read) !=
                       FALSE;
            })) {
            result.error = LastErrorText();
            return;
        }
        if (read == 0) return;
        if (static_cast<std::int64_t>(result.body.size() + read) > transfer.settings.maxBodyBytes) {
            result.error = L"The answer is longer than " + std::to_wstring(transfer.settings.maxBodyBytes) + L" bytes";
            return;
        }
        result.body.insert(result.body.end(), block, block + read);
        transfer.Report(static_cast<std::int64_t>(result.body.size()));
    }
}

// The request from connecting to its last byte, on the request's thread.
void Exchange(Transfer& transfer)
{
    HttpResult& result = transfer.result;
    const HttpClientSettings& settings = transfer.settings;
    // A session of its own: nothing the page's thread closes later reaches this request.
    UniqueInternetHandle session(
        ::InternetOpenW(settings.userAgent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) {
        result.error = LastErrorText();
        return;
    }
    SetTimeouts(session.get(), settings.silenceTimeoutMs);
    UniqueInternetHandle connection(::InternetConnectW(session.get(), transfer.host.c_str(), transfer.port, nullptr,
                                                       nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        result.error = LastErrorText();
        return;
    }
    // The request goes before its connection and session.
    struct CloseFirst {
        CancellableRequest& request;
        ~CloseFirst() { request.Close(); }
    } closeFirst{transfer.request};
    if (!transfer.request.Attach(::HttpOpenRequestW(connection.get(), transfer.verb.c_str(), transfer.object.c_str(),
                                                    L"HTTP/1.1", nullptr, nullptr, transfer.flags, 0))) {
        result.error = LastErrorText();
        return;
    }
    const std::wstring headers = L"Accept: " + settings.accept + L"\r\n";
    DWORD status = 0;
    if (!transfer.request.Run([&](HINTERNET request) {
            SetTimeouts(request, settings.silenceTimeoutMs);
            DWORD size = sizeof(status);
            return ::HttpSendRequestW(request, headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0) &&
                   ::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                                    nullptr);
        })) {
        result.error = LastErrorText();
        return;
    }
    result.status = status;
    std::wstring statusLine;
    transfer.request.Run([&](HINTERNET request) {
        result.contentLength = QueryContentLength(request);
        if (status >= 300)
            statusLine = QueryText(request, HTTP_QUERY_VERSION) + L" " + std::to_wstring(status) + L" " +
                         QueryText(request, HTTP_QUERY_STATUS_TEXT);
        return true;
    });
    if (status >= 300) {
        // As the status line reads, "HTTP/1.1 404 Not Found", but fit to be shown.
        result.error = ShownText(statusLine, kMaxStatusLineLength);
        return;
    }
    if (!transfer.readBody) return;
    if (result.contentLength && *result.contentLength > settings.maxBodyBytes) {
        result.error = L"The server announces " + std::to_wstring(*result.contentLength) + L" bytes, more than " +
                       std::to_wstring(settings.maxBodyBytes) + L" allowed";
        return;
    }
    ReadBody(transfer);
}

} // namespace

PatchHttp::PatchHttp(HttpClientSettings settings) : m_settings(std::move(settings)) {}

void PatchHttp::SetSettings(HttpClientSettings settings)
{
    m_settings = std::move(settings);
}

HttpResult PatchHttp::Head(const std::wstring& url)
{
    return Send(url, L"HEAD", false);
}

HttpResult PatchHttp::Get(const std::wstring& url)
{
    return Send(url, L"GET", true);
}

HttpResult PatchHttp::Send(const std::wstring& url, const wchar_t* verb, bool readBody)
{
    const DWORD started = ::GetTickCount();
    HttpResult result;

    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH] = {};
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH;
    parts.dwUrlPathLength = 1; // located in `url`, not copied
    parts.dwExtraInfoLength = 1;
    if (url.empty() || !::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
        result.error = L"Invalid URL: " + url;
        return result;
    }
    auto transfer = std::make_shared<Transfer>();
    transfer->settings = m_settings;
    transfer->host = host;
    transfer->port = parts.nPort;
    transfer->object = std::wstring(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength) +
                       std::wstring(parts.lpszExtraInfo ? parts.lpszExtraInfo : L"", parts.dwExtraInfoLength);
    if (transfer->object.empty()) transfer->object = L"/";
    transfer->verb = verb;
    // A redirection is an answer like any other: the file is fetched from the address
    // asked for or not at all.
    transfer->flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                      INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) transfer->flags |= INTERNET_FLAG_SECURE;
    if (!m_settings.allowCookies) transfer->flags |= INTERNET_FLAG_NO_COOKIES;
    transfer->readBody = readBody;
    if (!transfer->changed || !StartDetachedThread([transfer] {
            if (!CatchReturn(false, [&] {
                    Exchange(*transfer);
                    return true;
                }))
                transfer->result.error = L"Not enough memory for the answer";
            CriticalSectionLock guard(transfer->lock);
            transfer->finished = true;
            ::SetEvent(transfer->changed.get());
        })) {
        result.error = LastErrorText();
        return result;
    }

    // Connecting, sending, the answer's headers and its body: all within the limit. The
    // page's thread waits no longer, whatever the request's thread still waits for.
    const DWORD deadline = started + m_settings.transferTimeLimitMs;
    for (;;) {
        std::vector<std::int64_t> work;
        bool finished = false;
        {
            CriticalSectionLock guard(transfer->lock);
            work.swap(transfer->work);
            finished = transfer->finished;
        }
        if (OnWork)
            for (const std::int64_t received : work) OnWork(*this, WorkMode::Read, received);
        if (finished) return std::move(transfer->result);
        const auto left = static_cast<LONG>(deadline - ::GetTickCount());
        if (left <= 0) break;
        ::WaitForSingleObject(transfer->changed.get(), static_cast<DWORD>(left));
    }
    transfer->request.Cancel();
    result.error = L"The transfer took longer than " + std::to_wstring(m_settings.transferTimeLimitMs) + L" ms";
    return result;
}

} // namespace vl
