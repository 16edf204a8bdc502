// Whether a page belongs to the portal: the test the control makes before a page's script
// may use it, and the site comparisons of the updater's decisions.
#pragma once

#include <optional>
#include <string_view>

#include "support/portable/web_address.h"

namespace vl {

struct PortalPage {
    WebAddress address;
    bool developmentSite = false; // served by the development deployment
};

// The address of a portal page: http or https, on the scheme's default port, whose host
// is exactly one of the endpoint table's site hosts (any letter case, a trailing dot
// ignored); a development site's only in development mode. Nothing for any other
// address, among them other names below the portal's domains, IP literals and every
// other scheme.
std::optional<PortalPage> ParsePortalPage(std::wstring_view address, bool developmentMode);

inline bool IsPortalPage(std::wstring_view address, bool developmentMode)
{
    return ParsePortalPage(address, developmentMode).has_value();
}

// Whether the browser bridge serves a portal site's pages under `scheme`: https always,
// http only a development site's, and only in development mode. Whoever answers name
// look-ups or plain HTTP on the user's network could otherwise serve a portal page that
// drives the kernel. (The control keeps the http pages that the portal serves today.)
bool IsBridgeScheme(std::wstring_view scheme, bool developmentSite, bool developmentMode);

} // namespace vl
