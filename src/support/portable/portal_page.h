// Whether a page belongs to the portal: the test the control makes before a page's script
// may use it, and the site comparisons of the updater's decisions.
#pragma once

#include <optional>
#include <string_view>

#include "support/portable/web_address.h"

namespace vl {

// Whether `host` (lower case) is `domain` or a name below it.
bool IsHostInDomain(std::wstring_view host, std::wstring_view domain);

// The address of a portal page: http or https, on the scheme's default port, whose host
// is one of the endpoint table's site hosts or lies in one of the portal's domains.
// Nothing for any other address, among them IP literals and every other scheme.
std::optional<WebAddress> ParsePortalPage(std::wstring_view address);

inline bool IsPortalPage(std::wstring_view address)
{
    return ParsePortalPage(address).has_value();
}

} // namespace vl
