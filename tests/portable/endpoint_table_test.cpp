#include "tables/portable/endpoint_table.h"
#include "tables/portable/endpoint_hosts.h"
#include "endpoint_table_cells.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

using namespace vl;

namespace {

constexpr const wchar_t* kRegions[] = {L"US", L"TW", L"HK", L"CN"};
constexpr const wchar_t* kEnvironments[] = {L"Develop", L"Alpha", L"Production", L"RT", L"Develop2.0"};

std::wstring RegionValue(int region, int environment)
{
    return std::wstring(kRegions[region]) + L";" + kEnvironments[environment];
}

std::wstring Http(std::wstring_view host)
{
    return L"http://" + std::wstring(host);
}

std::wstring Site(EndpointRegion region, EndpointEnvironment environment)
{
    return Http(kEndpointHosts[region][environment].site);
}

bool IsPlaceholder(const std::wstring& text)
{
    return !text.empty() && text.find_first_not_of(L'-') == std::wstring::npos;
}

} // namespace

TEST(EndpointTableLookup, TaiwanProductionInstallPageAndPatchBase)
{
    EXPECT_EQ(LookupEndpoint(L"TW;Production", kInstallPageRole),
              Site(kRegionTW, kEnvProduction) + L"/vorlink_block/install.aspx");
    EXPECT_EQ(LookupEndpoint(L"TW;Production", kPatchBaseRole), Http(kTwPatchHost) + L"/vorlink05/");
}

// Every cell of every region and environment: paths, ports, hosts, addresses, placeholders.
TEST(EndpointTableLookup, EveryCellIsPinned)
{
    for (const test::EndpointRowCells& row : test::kEndpointRows)
        for (int role = 0; role < kEndpointRoleCount; ++role)
            EXPECT_EQ(LookupEndpoint(row.regionValue, role), row.cells[role])
                << testing::PrintToString(row.regionValue) << " role " << role;
}

// The folder of every patch base, and which host serves it, as the service publishes them.
TEST(EndpointTableLookup, EveryPatchBaseIsPinned)
{
    const auto& hosts = kEndpointHosts;
    const struct {
        const wchar_t* row;
        std::wstring_view host;
        const wchar_t* folder;
    } cases[] = {
        {L"US;Develop", hosts[kRegionUS][kEnvDevelop].site, L"/vorlink10/"},
        {L"US;Alpha", kUsDownloadHost, L"/USVorlink/"},
        {L"US;Production", kUsDownloadHost, L"/USVorlink/"},
        {L"US;RT", hosts[kRegionUS][kEnvRT].site, L"/vorlink11/"},
        {L"US;Develop2.0", hosts[kRegionUS][kEnvDevelop2].site, L"/vorlink05/"},
        {L"TW;Develop", hosts[kRegionTW][kEnvDevelop].site, L"/vorlink10/"},
        {L"TW;Alpha", kTwPatchHost, L"/vorlink05/"},
        {L"TW;Production", kTwPatchHost, L"/vorlink05/"},
        {L"TW;RT", hosts[kRegionTW][kEnvRT].site, L"/vorlink11/"},
        {L"TW;Develop2.0", hosts[kRegionUS][kEnvDevelop2].site, L"/vorlink05/"},
        {L"HK;Develop", hosts[kRegionHK][kEnvDevelop].site, L"/vorlink10/"},
        {L"HK;Alpha", kHkPatchHost, L"/vorlink05/"},
        {L"HK;Production", kHkPatchHost, L"/vorlink05/"},
        {L"HK;RT", hosts[kRegionHK][kEnvRT].site, L"/vorlink05/"},
        {L"CN;Alpha", hosts[kRegionCN][kEnvAlpha].patch, L"/vorlink11/"},
        {L"CN;Production", hosts[kRegionCN][kEnvProduction].patch, L"/vorlink11/"},
        {L"CN;RT", hosts[kRegionCN][kEnvRT].site, L"/vorlink11/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LookupEndpoint(c.row, kPatchBaseRole), Http(c.host) + c.folder) << testing::PrintToString(c.row);
    // CN's Alpha and Production each have their own patch host.
    EXPECT_NE(LookupEndpoint(L"CN;Alpha", 2), LookupEndpoint(L"CN;Production", 2));
}

// One path of every role in each form: the standard one (US Production) and the Hong Kong
// one (HK Production).
TEST(EndpointTableLookup, EveryPathIsPinnedInBothForms)
{
    const struct {
        int role;
        const wchar_t* standard;
        const wchar_t* hongKong;
    } cases[] = {
        {0, L"/vorlink_block/generic_handlers/get_service_ini.ashx?encoding=big5",
         L"/data_provider/get_ini.ashx?encoding=big5"},
        {1, L"/vorlink_block/generic_handlers/get_vlwk_ini.ashx", L"/vorlink_block/data_provider/get_ini.ashx"},
        {3, L"/default.aspx", L"/default.aspx"},
        {4, L"/vorlink_block/generic_handlers/erase_token.ashx?token=",
         L"/vorlink_block/utilities/erase_token.ashx?token="},
        {5, L"/vorlink_block/generic_handlers/get_otp.ashx?", L"/vorlink_block/data_provider/get_otp.ashx?"},
        {6, L"/utilities/slave_timeout_page.htm", L"/utilities/slave_timeout_page.htm"},
        {7, L"/locales/US/images/client/", L"/locales/zh-HK/images/client/"},
        {8, L":8686/vorlink_block/generic_handlers/get_auth_value.ashx?ppppp=",
         L":8686/vorlink_block/data_provider/get_auth_value.ashx?ppppp="},
        {9, L"/vorlink_block/generic_handlers/echo_token.ashx?token=",
         L"/vorlink_block/utilities/echo_token.ashx?token="},
        {10, L"/vorlink_block/install.aspx", L"/vorlink_block/install.aspx"},
        {11, L"", L"/webvl/default.aspx"},
        {12, L"/vorlink_block/generic_handlers/log_traceroute_info.ashx",
         L"/vorlink_block/data_provider/log_traceroute_info.ashx"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LookupEndpoint(L"US;Production", c.role), Site(kRegionUS, kEnvProduction) + c.standard) << c.role;
        EXPECT_EQ(LookupEndpoint(L"HK;Production", c.role), Site(kRegionHK, kEnvProduction) + c.hongKong) << c.role;
    }
}

TEST(EndpointTableLookup, HongKongSitesOutsideDevelopmentUseTheirOwnLayout)
{
    EXPECT_EQ(LookupEndpoint(L"HK;Alpha", 0),
              Site(kRegionHK, kEnvAlpha) + L"/data_provider/get_ini.ashx?encoding=big5");
    EXPECT_EQ(LookupEndpoint(L"HK;Develop", 0),
              Site(kRegionHK, kEnvDevelop) + L"/vorlink_block/generic_handlers/get_service_ini.ashx?encoding=big5");
    EXPECT_EQ(LookupEndpoint(L"HK;Production", 7), Site(kRegionHK, kEnvProduction) + L"/locales/zh-HK/images/client/");
    EXPECT_EQ(LookupEndpoint(L"HK;Develop", 7), Site(kRegionHK, kEnvDevelop) + L"/locales/HK/images/client/");
    EXPECT_EQ(LookupEndpoint(L"HK;RT", 8),
              Site(kRegionHK, kEnvRT) + L":8686/vorlink_block/data_provider/get_auth_value.ashx?ppppp=");
    EXPECT_EQ(LookupEndpoint(L"HK;Alpha", 11), Site(kRegionHK, kEnvAlpha) + L"/webvl/default.aspx");
    EXPECT_EQ(LookupEndpoint(L"HK;Production", 11), Site(kRegionHK, kEnvProduction) + L"/webvl/default.aspx");
    EXPECT_EQ(LookupEndpoint(L"HK;RT", 11), Site(kRegionHK, kEnvRT) + L"/test-official-url.html");
}

TEST(EndpointTableLookup, StandardRowsFollowTheStandardLayout)
{
    const std::wstring site = Site(kRegionCN, kEnvProduction);
    EXPECT_EQ(LookupEndpoint(L"CN;Production", 8),
              site + L":8686/vorlink_block/generic_handlers/get_auth_value.ashx?ppppp=");
    EXPECT_EQ(LookupEndpoint(L"CN;Production", 7), site + L"/locales/CN/images/client/");
    EXPECT_EQ(LookupEndpoint(L"CN;Production", 11), site);
    EXPECT_EQ(LookupEndpoint(L"US;Develop", 4),
              Site(kRegionUS, kEnvDevelop) + L"/vorlink_block/generic_handlers/erase_token.ashx?token=");
}

TEST(EndpointTableLookup, PlaceholdersStandWhereNoPageIsServed)
{
    for (int role = 0; role < kEndpointRoleCount; ++role)
        EXPECT_EQ(LookupEndpoint(L"CN;Develop", role), L"-----") << role;
    EXPECT_EQ(LookupEndpoint(L"US;Develop", 3), std::wstring(48, L'-'));
    EXPECT_EQ(LookupEndpoint(L"US;Develop", 6), std::wstring(51, L'-'));
    for (const wchar_t* row : {L"TW;Develop", L"US;Develop2.0", L"TW;Develop2.0"}) {
        EXPECT_EQ(LookupEndpoint(row, 3), std::wstring(48, L'-')) << row;
        EXPECT_EQ(LookupEndpoint(row, 6), std::wstring(48, L'-')) << row;
    }
    EXPECT_EQ(LookupEndpoint(L"HK;Develop", 3), Site(kRegionHK, kEnvDevelop) + L"/default.aspx");
    for (const wchar_t* row : {L"HK;Develop2.0", L"CN;Develop2.0"}) {
        for (int role = 0; role < 13; ++role)
            EXPECT_EQ(LookupEndpoint(row, role), std::wstring(48, L'-')) << row << role;
        EXPECT_EQ(LookupEndpoint(row, 13), L"255.255.255.255");
    }
}

TEST(EndpointTableLookup, TaiwanDevelop2IsTheUsDevelop2Site)
{
    for (int role = 0; role < kEndpointRoleCount; ++role)
        EXPECT_EQ(LookupEndpoint(L"TW;Develop2.0", role), LookupEndpoint(L"US;Develop2.0", role)) << role;
    EXPECT_EQ(LookupEndpoint(L"TW;Develop2.0", 7), Site(kRegionUS, kEnvDevelop2) + L"/locales/US/images/client/");
}

// Every cell is a placeholder, an http URL on a named host, or a dotted IPv4 address in
// the traceroute column: a host missing from the deployment shows up here.
TEST(EndpointTableLookup, EveryCellIsWellFormed)
{
    const std::wregex url(LR"(http://[a-z0-9-]+(\.[a-z0-9-]+)+(:8686)?(/.*)?)");
    const std::wregex address(LR"((\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3}))");
    for (int region = 0; region < kEndpointRegionCount; ++region) {
        for (int environment = 0; environment < kEndpointEnvironmentCount; ++environment) {
            const std::wstring value = RegionValue(region, environment);
            for (int role = 0; role < kEndpointRoleCount; ++role) {
                const std::wstring text = LookupEndpoint(value, role);
                if (IsPlaceholder(text)) continue;
                const bool valid = role == 13 ? std::regex_match(text, address) : std::regex_match(text, url);
                EXPECT_TRUE(valid) << testing::PrintToString(value) << " role " << role << ": "
                                   << testing::PrintToString(text);
                EXPECT_EQ(text.find(L":8686") != std::wstring::npos, role == 8) << role;
            }
            if (const std::wstring patchBase = LookupEndpoint(value, kPatchBaseRole); !IsPlaceholder(patchBase)) {
                EXPECT_TRUE(patchBase.ends_with(L'/')) << testing::PrintToString(patchBase);
            }
        }
        EXPECT_TRUE(kEndpointHosts[region][kEnvProduction].site.ends_with(L".com")) << kRegions[region];
    }
}

TEST(EndpointTableLookup, DevelopmentSitesTraceToPrivateAddresses)
{
    const std::wregex privateAddress(LR"((10\.\d+|172\.(1[6-9]|2\d|3[01])|192\.168)\.\d+\.\d+)");
    for (const wchar_t* row : {L"US;Develop", L"TW;Develop", L"HK;Develop", L"US;Develop2.0", L"TW;Develop2.0"})
        EXPECT_TRUE(std::regex_match(LookupEndpoint(row, 13), privateAddress)) << row;
    for (const wchar_t* row : {L"US;Production", L"TW;Alpha", L"HK;RT", L"CN;Production"})
        EXPECT_FALSE(std::regex_match(LookupEndpoint(row, 13), privateAddress)) << row;
}

TEST(EndpointTableLookup, OnlyExactRegionAndEnvironmentNamesAndKnownRolesMatch)
{
    for (const wchar_t* value : {L"TW", L"JP;Production", L"tw;Production", L";Production", L"", L"TW;production",
                                 L"TW;Production;", L"TW;Develop2", L" TW;Production"}) {
        for (int role = 0; role < kEndpointRoleCount; ++role)
            EXPECT_EQ(LookupEndpoint(value, role), L"") << testing::PrintToString(std::wstring(value)) << role;
    }
    for (const wchar_t* value : {L"US;Production", L"CN;Develop"}) {
        EXPECT_EQ(LookupEndpoint(value, kEndpointRoleCount), L"");
        EXPECT_EQ(LookupEndpoint(value, -1), L"");
        EXPECT_EQ(LookupEndpoint(value, 256 + kPatchBaseRole), L"");
    }
}
