#include "tables/portable/portal_sites.h"

#include "tables/portable/endpoint_hosts.h"

#include <algorithm>
#include <cwctype>

namespace vl {

const std::vector<PortalSite>& GetPortalSites()
{
    static const std::vector<PortalSite> sites = [] {
        std::vector<PortalSite> built;
        for (const auto& region : kEndpointHosts)
            for (int environment = 0; environment < kEndpointEnvironmentCount; ++environment) {
                const std::wstring_view site = region[environment].site;
                if (site.empty()) continue;
                std::wstring host(site);
                for (auto& c : host) c = static_cast<wchar_t>(std::towlower(c));
                const bool development = environment == kEnvDevelop || environment == kEnvDevelop2;
                const auto known =
                    std::ranges::find(built, host, [](const PortalSite& s) -> const std::wstring& { return s.host; });
                // A host that a released row names too is no development site.
                if (known != built.end()) known->development = known->development && development;
                else built.push_back({std::move(host), development});
            }
        return built;
    }();
    return sites;
}

const PortalSite* FindPortalSite(std::wstring_view host, bool developmentMode)
{
    const auto& sites = GetPortalSites();
    const auto site = std::ranges::find(sites, host, [](const PortalSite& s) -> std::wstring_view { return s.host; });
    if (site == sites.end() || (site->development && !developmentMode)) return nullptr;
    return &*site;
}

} // namespace vl
