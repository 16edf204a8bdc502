// The portal's own web sites, as the deployment of the endpoint table names them: the
// hosts a page must be served from before its script may use the control.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vl {

struct PortalSite {
    std::wstring host; // lower case
    // Only the Develop and Develop2.0 rows name it: a site of the development deployment.
    bool development = false;
};

// Every row's site host, once each. Built once from the endpoint table's hosts, so that a
// moved deployment moves it too. Nothing else is a portal site: no other name below the
// same domain, whoever answers for it.
const std::vector<PortalSite>& GetPortalSites();

// The portal site named exactly `host` (lower case, without a trailing dot) that serves
// pages now: a development site only in development mode. Null for every other name.
const PortalSite* FindPortalSite(std::wstring_view host, bool developmentMode);

} // namespace vl
