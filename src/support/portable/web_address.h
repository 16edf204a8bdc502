// The parts of a web address that decide which site a page comes from. The parser is
// strict: whatever a browser might read in more than one way is refused, not guessed at.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vl {

struct WebAddress {
    std::wstring scheme; // lower case, without the ":"
    std::wstring host;   // lower case, a trailing dot removed
    int port = -1;       // -1 when the address names none
    std::wstring path;   // from the "/" after the host up to "?" or "#"; may be empty
};

// "scheme://host[:port][/path][?query][#fragment]" whose host is a name of ASCII
// letters, digits, hyphens and dots (labels of 1 to 63 characters, 253 in all). Nothing
// for any other text, among them addresses with user information ("@"), percent signs,
// backslashes, blanks or brackets before the path, an empty or out-of-range port, and
// addresses without "//" ("about:", "javascript:", "data:", "mhtml:").
std::optional<WebAddress> ParseWebAddress(std::wstring_view text);

// The port a scheme uses when the address names none: 80 for http, 443 for https, else -1.
int DefaultPort(std::wstring_view scheme);

} // namespace vl
