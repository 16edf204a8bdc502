#include "support/patch_http.h"

#include <wininet.h>

#include <string>
#include <utility>

#include "support/portable/shown_text.h"
#include "support/request_deadline.h"

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

} // namespace

PatchHttp::PatchHttp(HttpClientSettings settings) : m_settings(std::move(settings)) {}

void PatchHttp::SetSettings(HttpClientSettings settings)
{
    m_settings = std::move(settings);
    // The user agent is the session's: the next request opens a new one.
    Disconnect();
    m_session.reset();
}

void PatchHttp::Disconnect()
{
    m_request.reset();
    m_connection.reset();
}

// Windows hands a session's timeouts down to its requests; Wine takes those for sending and
// receiving only from the request itself. Both are given them.
void PatchHttp::SetTimeouts(HINTERNET handle) const
{
    for (const DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD timeout = m_settings.silenceTimeoutMs;
        ::InternetSetOptionW(handle, option, &timeout, sizeof timeout);
    }
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
    Disconnect();
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
    std::wstring object = std::wstring(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength) +
                          std::wstring(parts.lpszExtraInfo ? parts.lpszExtraInfo : L"", parts.dwExtraInfoLength);
    if (object.empty()) object = L"/";

    if (!m_session) {
        m_session.reset(::InternetOpenW(m_settings.userAgent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
        if (!m_session) {
            result.error = LastErrorText();
            return result;
        }
        SetTimeouts(m_session.get());
    }
    m_connection.reset(
        ::InternetConnectW(m_session.get(), host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!m_connection) {
        result.error = LastErrorText();
        return result;
    }
    // A redirection is an answer like any other: the file is fetched from the address
    // asked for or not at all.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    if (!m_settings.allowCookies) flags |= INTERNET_FLAG_NO_COOKIES;
    m_request.reset(
        ::HttpOpenRequestW(m_connection.get(), verb, object.c_str(), L"HTTP/1.1", nullptr, nullptr, flags, 0));
    if (!m_request) {
        result.error = LastErrorText();
        return result;
    }
    SetTimeouts(m_request.get());

    // Connecting, sending, the answer's headers and its body: all within the limit.
    const DWORD elapsed = ::GetTickCount() - started;
    RequestDeadline deadline(m_request.get(),
                             elapsed < m_settings.transferTimeLimitMs ? m_settings.transferTimeLimitMs - elapsed : 0);
    if (!deadline.Armed()) {
        result.error = LastErrorText();
        return result;
    }
    Exchange(result, readBody);
    if (deadline.Stop()) {
        m_request.release(); // the deadline has closed it
        result.error = L"The transfer took longer than " + std::to_wstring(m_settings.transferTimeLimitMs) + L" ms";
    }
    return result;
}

void PatchHttp::Exchange(HttpResult& result, bool readBody)
{
    const std::wstring headers = L"Accept: " + m_settings.accept + L"\r\n";
    if (!::HttpSendRequestW(m_request.get(), headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0)) {
        result.error = LastErrorText();
        return;
    }

    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::HttpQueryInfoW(m_request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          nullptr)) {
        result.error = LastErrorText();
        return;
    }
    result.status = status;
    result.contentLength = QueryContentLength(m_request.get());
    if (status >= 300) {
        // As the status line reads, "HTTP/1.1 404 Not Found", but fit to be shown.
        result.error = ShownText(QueryText(m_request.get(), HTTP_QUERY_VERSION) + L" " + std::to_wstring(status) +
                                     L" " + QueryText(m_request.get(), HTTP_QUERY_STATUS_TEXT),
                                 kMaxStatusLineLength);
        return;
    }
    if (!readBody) return;
    if (result.contentLength && *result.contentLength > m_settings.maxBodyBytes) {
        result.error = L"The server announces " + std::to_wstring(*result.contentLength) + L" bytes, more than " +
                       std::to_wstring(m_settings.maxBodyBytes) + L" allowed";
        return;
    }
    ReadBody(result);
}

void PatchHttp::ReadBody(HttpResult& result)
{
    // The count restarts with every transfer, so a reader never sees the previous one's.
    if (OnWork) OnWork(*this, WorkMode::Read, 0);
    std::uint8_t block[kReadBlock];
    for (;;) {
        // A read returns only when its block is full; asking first what has arrived keeps
        // every wait within the receive timeout.
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(m_request.get(), &available, 0, 0)) {
            result.error = LastErrorText();
            return;
        }
        DWORD read = 0;
        if (available != 0 &&
            !::InternetReadFile(m_request.get(), block, available < kReadBlock ? available : kReadBlock, &read)) {
            result.error = LastErrorText();
            return;
        }
        if (read == 0) return;
        if (static_cast<std::int64_t>(result.body.size() + read) > m_settings.maxBodyBytes) {
            result.error = L"The answer is longer than " + std::to_wstring(m_settings.maxBodyBytes) + L" bytes";
            return;
        }
        result.body.insert(result.body.end(), block, block + read);
        if (OnWork) OnWork(*this, WorkMode::Read, static_cast<std::int64_t>(result.body.size()));
    }
}

} // namespace vl
