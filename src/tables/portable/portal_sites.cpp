#include "tables/portable/portal_sites.h"

#include "tables/portable/endpoint_hosts.h"

#include <algorithm>
#include <cwctype>

namespace vl {

namespace {

void AddOnce(std::vector<std::wstring>& list, std::wstring text)
{
    if (std::find(list.begin(), list.end(), text) == list.end()) list.push_back(std::move(text));
}

} // namespace

std::wstring_view DomainOf(std::wstring_view host)
{
    const auto last = host.rfind(L'.');
    if (last == std::wstring_view::npos || last == 0) return host;
    const auto previous = host.rfind(L'.', last - 1);
    return previous == std::wstring_view::npos ? host : host.substr(previous + 1);
}

const PortalSites& GetPortalSites()
{
    static const PortalSites sites = [] {
        PortalSites built;
        for (const auto& region : kEndpointHosts)
            for (const EndpointHosts& row : region) {
                if (row.site.empty()) continue;
                std::wstring host(row.site);
                for (auto& c : host) c = static_cast<wchar_t>(std::towlower(c));
                AddOnce(built.domains, std::wstring(DomainOf(host)));
                AddOnce(built.hosts, std::move(host));
            }
        return built;
    }();
    return sites;
}

} // namespace vl
