#include "tables/portable/endpoint_table.h"

#include "tables/portable/endpoint_hosts.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace vl {

namespace {

constexpr std::wstring_view kRegionNames[kEndpointRegionCount] = {L"US", L"TW", L"HK", L"CN"};
constexpr std::wstring_view kEnvironmentNames[kEndpointEnvironmentCount] = {L"Develop", L"Alpha", L"Production",
                                                                            L"RT", L"Develop2.0"};

// Roles whose text is not one fixed path after the host.
constexpr int kDefaultPageRole = 3;
constexpr int kSlaveTimeoutPageRole = 6;
constexpr int kLocaleFolderRole = 7;
constexpr int kAuthValueRole = 8; // on its own port
constexpr int kSiteRootRole = 11;
constexpr int kTraceTargetRole = 13;

// Paths after the host; empty entries are filled per row.
constexpr std::wstring_view kStandardPaths[kEndpointRoleCount] = {
    L"/vorlink_block/generic_handlers/get_service_ini.ashx?encoding=big5",
    L"/vorlink_block/generic_handlers/get_vlwk_ini.ashx",
    {}, // patch base
    L"/default.aspx",
    L"/vorlink_block/generic_handlers/erase_token.ashx?token=",
    L"/vorlink_block/generic_handlers/get_otp.ashx?",
    L"/utilities/slave_timeout_page.htm",
    {}, // locale folder of the region
    L"/vorlink_block/generic_handlers/get_auth_value.ashx?ppppp=",
    L"/vorlink_block/generic_handlers/echo_token.ashx?token=",
    L"/vorlink_block/install.aspx",
    {}, // site root: the host alone
    L"/vorlink_block/generic_handlers/log_traceroute_info.ashx",
    {}, // traceroute target: an address, not a URL
};

// The older site layout that HK Alpha, Production and RT still serve.
constexpr std::wstring_view kHkPaths[kEndpointRoleCount] = {
    L"/data_provider/get_ini.ashx?encoding=big5",
    L"/vorlink_block/data_provider/get_ini.ashx",
    {}, // patch base
    L"/default.aspx",
    L"/vorlink_block/utilities/erase_token.ashx?token=",
    L"/vorlink_block/data_provider/get_otp.ashx?",
    L"/utilities/slave_timeout_page.htm",
    L"/locales/zh-HK/images/client/",
    L"/vorlink_block/data_provider/get_auth_value.ashx?ppppp=",
    L"/vorlink_block/utilities/echo_token.ashx?token=",
    L"/vorlink_block/install.aspx",
    {}, // site root: per environment
    L"/vorlink_block/data_provider/log_traceroute_info.ashx",
    {}, // traceroute target
};

struct PatchBase {
    bool onPatchHost = false; // else on the site host
    std::wstring_view folder;
};

// Rows without a deployment have none.
constexpr PatchBase kPatchBases[kEndpointRegionCount][kEndpointEnvironmentCount] = {
    {{false, L"/vorlink10/"}, {true, L"/USVorlink/"}, {true, L"/USVorlink/"}, {false, L"/vorlink11/"},
     {false, L"/vorlink05/"}},
    {{false, L"/vorlink10/"}, {true, L"/vorlink05/"}, {true, L"/vorlink05/"}, {false, L"/vorlink11/"},
     {false, L"/vorlink05/"}},
    {{false, L"/vorlink10/"}, {true, L"/vorlink05/"}, {true, L"/vorlink05/"}, {false, L"/vorlink05/"}, {}},
    {{}, {true, L"/vorlink11/"}, {true, L"/vorlink11/"}, {false, L"/vorlink11/"}, {}},
};

// Pages a development site does not serve.
struct Placeholder {
    EndpointRegion region;
    EndpointEnvironment environment;
    int role;
    std::size_t hyphens;
};

constexpr Placeholder kUnservedPages[] = {
    {kRegionUS, kEnvDevelop, kDefaultPageRole, 48},  {kRegionUS, kEnvDevelop, kSlaveTimeoutPageRole, 51},
    {kRegionTW, kEnvDevelop, kDefaultPageRole, 48},  {kRegionTW, kEnvDevelop, kSlaveTimeoutPageRole, 48},
    {kRegionUS, kEnvDevelop2, kDefaultPageRole, 48}, {kRegionUS, kEnvDevelop2, kSlaveTimeoutPageRole, 48},
};

using EndpointRow = std::array<SVLWUrlInfo, kEndpointRoleCount>;
using RegionTable = std::array<EndpointRow, kEndpointEnvironmentCount>;

// A row without a deployment: every role holds the run of hyphens, the traceroute target
// `traceTarget` when given.
EndpointRow PlaceholderRow(std::size_t hyphens, std::wstring_view traceTarget = {})
{
    EndpointRow row;
    for (int role = 0; role < kEndpointRoleCount; ++role)
        row[role] = {static_cast<std::uint8_t>(role), std::wstring(hyphens, L'-')};
    if (!traceTarget.empty()) row[kTraceTargetRole].text = traceTarget;
    return row;
}

EndpointRow BuildRow(EndpointRegion region, EndpointEnvironment environment)
{
    if (region == kRegionCN && environment == kEnvDevelop) return PlaceholderRow(5);
    if ((region == kRegionHK || region == kRegionCN) && environment == kEnvDevelop2)
        return PlaceholderRow(48, L"255.255.255.255");
    // TW Develop2.0 is the US Develop2.0 site, locale included.
    if (region == kRegionTW && environment == kEnvDevelop2) region = kRegionUS;

    const EndpointHosts& hosts = kEndpointHosts[region][environment];
    const bool hkForm = region == kRegionHK && environment != kEnvDevelop;
    const auto& paths = hkForm ? kHkPaths : kStandardPaths;
    const std::wstring site = L"http://" + std::wstring(hosts.site);

    EndpointRow row;
    for (int role = 0; role < kEndpointRoleCount; ++role) {
        const std::wstring host = role == kAuthValueRole ? site + L":8686" : site;
        row[role] = {static_cast<std::uint8_t>(role), host + std::wstring(paths[role])};
    }
    const PatchBase& patch = kPatchBases[region][environment];
    row[kPatchBaseRole].text =
        (patch.onPatchHost ? L"http://" + std::wstring(hosts.patch) : site) + std::wstring(patch.folder);
    if (!hkForm)
        row[kLocaleFolderRole].text = site + L"/locales/" + std::wstring(kRegionNames[region]) + L"/images/client/";
    else
        row[kSiteRootRole].text = site + (environment == kEnvRT ? L"/test-official-url.html" : L"/webvl/default.aspx");
    row[kTraceTargetRole].text = hosts.traceTarget;

    for (const Placeholder& page : kUnservedPages)
        if (page.region == region && page.environment == environment)
            row[page.role].text.assign(page.hyphens, L'-');
    return row;
}

const std::array<RegionTable, kEndpointRegionCount>& Tables()
{
    static const auto tables = [] {
        std::array<RegionTable, kEndpointRegionCount> built;
        for (int region = 0; region < kEndpointRegionCount; ++region)
            for (int environment = 0; environment < kEndpointEnvironmentCount; ++environment)
                built[region][environment] = BuildRow(static_cast<EndpointRegion>(region),
                                                      static_cast<EndpointEnvironment>(environment));
        return built;
    }();
    return tables;
}

template <std::size_t N>
int IndexOf(const std::wstring_view (&names)[N], std::wstring_view name)
{
    const auto found = std::ranges::find(names, name);
    return found == std::end(names) ? -1 : static_cast<int>(found - std::begin(names));
}

} // namespace

std::wstring LookupEndpoint(std::wstring_view regionValue, int role)
{
    const auto separator = regionValue.find(L';');
    const std::wstring_view region = separator == std::wstring_view::npos ? std::wstring_view{}
                                                                           : regionValue.substr(0, separator);
    const std::wstring_view environment =
        separator == std::wstring_view::npos ? regionValue : regionValue.substr(separator + 1);
    const int regionIndex = IndexOf(kRegionNames, region);
    const int environmentIndex = IndexOf(kEnvironmentNames, environment);
    if (regionIndex < 0 || environmentIndex < 0) return {};
    for (const SVLWUrlInfo& cell : Tables()[regionIndex][environmentIndex])
        if (cell.role == role) return cell.text;
    return {};
}

} // namespace vl
