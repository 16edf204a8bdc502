#include "support/portable/portal_page.h"

#include "tables/portable/portal_sites.h"

namespace vl {

std::optional<PortalPage> ParsePortalPage(std::wstring_view address, bool developmentMode)
{
    auto page = ParseWebAddress(address);
    if (!page || DefaultPort(page->scheme) < 0) return std::nullopt;
    if (page->port >= 0 && page->port != DefaultPort(page->scheme)) return std::nullopt;
    // An IP literal is never a site host.
    const PortalSite* site = FindPortalSite(page->host, developmentMode);
    if (!site) return std::nullopt;
    return PortalPage{std::move(*page), site->development};
}

bool IsBridgeScheme(std::wstring_view scheme, bool developmentSite, bool developmentMode)
{
    return scheme == L"https" || (scheme == L"http" && developmentSite && developmentMode);
}

} // namespace vl
