#include "tables/portable/endpoint_table.h"
#include "tables/portable/endpoint_hosts.h"

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

TEST(EndpointTableLookup, PatchBasesUseTheirHostsAndFolders)
{
    EXPECT_EQ(LookupEndpoint(L"US;Production", 2), Http(kUsDownloadHost) + L"/USVorlink/");
    EXPECT_EQ(LookupEndpoint(L"US;Develop", 2), Site(kRegionUS, kEnvDevelop) + L"/vorlink10/");
    EXPECT_EQ(LookupEndpoint(L"HK;RT", 2), Site(kRegionHK, kEnvRT) + L"/vorlink05/");
    // CN's Alpha and Production each have their own patch host.
    EXPECT_EQ(LookupEndpoint(L"CN;Alpha", 2), Http(kEndpointHosts[kRegionCN][kEnvAlpha].patch) + L"/vorlink11/");
    EXPECT_NE(LookupEndpoint(L"CN;Alpha", 2), LookupEndpoint(L"CN;Production", 2));
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
