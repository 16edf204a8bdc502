// The portal's own web sites, as the deployment of the endpoint table names them: what a
// page must be served from before its script may use the control.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vl {

struct PortalSites {
    std::vector<std::wstring> hosts;   // every row's site host, lower case
    std::vector<std::wstring> domains; // the domains they belong to: their last two labels
};

// The domain a host name belongs to: its last two labels ("vorlink.com" of
// "patch.tw.vorlink.com"); a name of fewer labels is its own domain.
std::wstring_view DomainOf(std::wstring_view host);

// Built once from the endpoint table's hosts, so that a moved deployment moves it too.
const PortalSites& GetPortalSites();

} // namespace vl
