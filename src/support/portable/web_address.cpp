#include "support/portable/web_address.h"

#include <utility>

#include "support/portable/ascii.h"

namespace vl {

namespace {

constexpr std::size_t kMaxLabel = 63;
constexpr std::size_t kMaxHost = 253;
constexpr std::size_t kMaxPortDigits = 5;

std::optional<std::wstring> ParseScheme(std::wstring_view text)
{
    if (text.empty() || !IsAsciiLetter(text.front())) return std::nullopt;
    std::wstring scheme;
    for (wchar_t c : text) {
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != L'+' && c != L'-' && c != L'.') return std::nullopt;
        scheme += AsciiLower(c);
    }
    return scheme;
}

// A host name, lower case, without its trailing dot.
std::optional<std::wstring> ParseHost(std::wstring_view text)
{
    if (!text.empty() && text.back() == L'.') text.remove_suffix(1);
    if (text.empty() || text.size() > kMaxHost) return std::nullopt;
    std::wstring host;
    std::size_t label = 0;
    for (wchar_t c : text) {
        if (c == L'.') {
            if (label == 0) return std::nullopt;
            label = 0;
        } else if (IsAsciiLetter(c) || IsAsciiDigit(c) || c == L'-') {
            if (++label > kMaxLabel) return std::nullopt;
        } else {
            return std::nullopt;
        }
        host += AsciiLower(c);
    }
    // Only one trailing dot is the root's; a second leaves an empty label.
    if (label == 0) return std::nullopt;
    return host;
}

std::optional<int> ParsePort(std::wstring_view text)
{
    if (text.empty() || text.size() > kMaxPortDigits) return std::nullopt;
    int port = 0;
    for (wchar_t c : text) {
        if (!IsAsciiDigit(c)) return std::nullopt;
        port = port * 10 + (c - L'0');
    }
    if (port > 65535) return std::nullopt;
    return port;
}

} // namespace

std::optional<WebAddress> ParseWebAddress(std::wstring_view text)
{
    const auto colon = text.find(L':');
    if (colon == std::wstring_view::npos) return std::nullopt;
    auto scheme = ParseScheme(text.substr(0, colon));
    if (!scheme || text.substr(colon + 1, 2) != L"//") return std::nullopt;
    text.remove_prefix(colon + 3);

    const auto authorityEnd = text.find_first_of(L"/?#");
    const std::wstring_view authority = text.substr(0, authorityEnd);
    const std::wstring_view rest = authorityEnd == std::wstring_view::npos ? std::wstring_view{}
                                                                           : text.substr(authorityEnd);

    WebAddress address;
    address.scheme = std::move(*scheme);
    // Only a host and a port: "@" and brackets fail the host's characters.
    const auto portColon = authority.rfind(L':');
    auto host = ParseHost(authority.substr(0, portColon));
    if (!host) return std::nullopt;
    address.host = std::move(*host);
    if (portColon != std::wstring_view::npos) {
        const auto port = ParsePort(authority.substr(portColon + 1));
        if (!port) return std::nullopt;
        address.port = *port;
    }
    if (!rest.empty() && rest.front() == L'/') address.path = rest.substr(0, rest.find_first_of(L"?#"));
    return address;
}

int DefaultPort(std::wstring_view scheme)
{
    if (scheme == L"http") return 80;
    if (scheme == L"https") return 443;
    return -1;
}

} // namespace vl
