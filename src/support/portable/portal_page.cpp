#include "support/portable/portal_page.h"

#include <algorithm>

#include "tables/portable/portal_sites.h"

namespace vl {

bool IsHostInDomain(std::wstring_view host, std::wstring_view domain)
{
    if (domain.empty() || !host.ends_with(domain)) return false;
    return host.size() == domain.size() || host[host.size() - domain.size() - 1] == L'.';
}

std::optional<WebAddress> ParsePortalPage(std::wstring_view address)
{
    auto page = ParseWebAddress(address);
    if (!page || DefaultPort(page->scheme) < 0) return std::nullopt;
    if (page->port >= 0 && page->port != DefaultPort(page->scheme)) return std::nullopt;
    const PortalSites& sites = GetPortalSites();
    // An IP literal is never a site host and never ends in a portal domain.
    const bool portal = std::ranges::find(sites.hosts, page->host) != sites.hosts.end() ||
                        std::ranges::any_of(sites.domains,
                                            [&](const std::wstring& domain) { return IsHostInDomain(page->host, domain); });
    if (!portal) return std::nullopt;
    return page;
}

} // namespace vl
