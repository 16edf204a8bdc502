// Which pages may use the control, the updater's site decisions, and the page text that
// may reach a command line.
#include "adapter/portable/command_line_text.h"
#include "adapter/portable/updater_choices.h"
#include "support/portable/portal_page.h"
#include "support/portable/version_text.h"
#include "tables/portable/endpoint_table.h"
#include "tables/portable/portal_sites.h"

#include <gtest/gtest.h>

#include "page_addresses.h"

#include <string>
#include <string_view>

using namespace vl;

namespace {

using vl::test::PageAddressCase;

// Beyond the sampled pages; the same in either mode.
const PageAddressCase kAddresses[] = {
    // The portal's sites, as browsers write them.
    {L"http://www.vorlink.com/", true},
    {L"https://tw.vorlink.com/vorlink_block/install.aspx?region=TW", true},
    {L"HTTP://WWW.VORLINK.COM/Games", true},
    {L"http://www.vorlink.com./", true},
    {L"http://rt.cn.vorlink.com/play.aspx#top", true},
    {L"http://www.vorlink.com:80/", true},
    {L"https://www.vorlink.com:443/", true},
    {L"http://www.vorlink.com?x=1", true},
    // Names the table does not hold as a site: other subdomains, whoever answers for them,
    // the bare domains and the download and patch hosts.
    {L"http://anything.vorlink.com/", false},
    {L"http://user-content.vorlink.net/", false},
    {L"http://1.2.3.4.vorlink.com/", false},
    {L"http://games.tw.vorlink.com/play.aspx", false},
    {L"http://www.tw.vorlink.com/", false},
    {L"http://vorlink.com", false},
    {L"http://vorlink.net/", false},
    {L"http://patch.tw.vorlink.com/vorlink05/", false},
    {L"http://download.vorlink.com/", false},
    // IP literals, user information, other ports.
    {L"http://[::1]/", false},
    {L"http://0x7f000001/", false},
    {L"http://user@www.vorlink.com/", false},
    {L"http://:@www.vorlink.com/", false},
    {L"https://www.vorlink.com:80/", false},
    {L"http://tw.vorlink.com:8686/", false},
    {L"http://www.vorlink.com:/", false},
    {L"http://www.vorlink.com:99999/", false},
    {L"http://www.vorlink.com:80@evil.example/", false},
    // Other schemes, and no address at all.
    {L"javascript:alert(1)//www.vorlink.com", false},
    {L"data:text/html,www.vorlink.com", false},
    {L"mhtml:http://www.vorlink.com/page.mht", false},
    {L"res://ieframe.dll/www.vorlink.com", false},
    {L"ftp://www.vorlink.com/", false},
    {L"", false},
    // Our own look-alikes.
    {L"http://evilvorlink.com/", false},
    {L"http://vorlink.com.evil.example./", false},
    {L"http://www.vorlink.co/", false},
    {L"http://vorlink.net.evil.example/", false},
    {L"http://www.vorlink.com\\evil.example/", false},
    {L"http://www.vorlink.com\t.evil.example/", false},
    {L"http://www.vorlink.com%00.evil.example/", false},
    {L"http://www..vorlink.com/", false},
    {L"http://.vorlink.com/", false},
    {L"http:www.vorlink.com", false},
    {L"http:\\\\www.vorlink.com\\", false},
    {L" http://www.vorlink.com/", false},
    {L"http://www.vorlink.\xFF43om/", false},   // a full-width letter
    {L"http://www.vorlink.com\xFF0F.evil.example/", false}, // a full-width slash
    {L"http://www.vorlink.com..", false},
};

// The development deployment's sites are portal pages in development mode only.
const vl::test::ByModeCase kDevelopmentSites[] = {
    {L"http://dev.tw.vorlink.net/vorlink_block/install.aspx", false, true},
    {L"HTTP://DEV2.VORLINK.NET./", false, true},
    {L"https://dev.us.vorlink.net/", false, true},
    {L"http://dev.hk.vorlink.net/", false, true},
    {L"http://other.dev.tw.vorlink.net/", false, false},
    {L"http://dev.cn.vorlink.net/", false, false}, // CN has no development site
    {L"http://dev.tw.vorlink.net:8080/", false, false},
    {L"http://www.vorlink.com/", true, true},
};

constexpr int kSiteRootRole = 11;

bool IsDevelopmentRow(const wchar_t* environment)
{
    return std::wstring_view(environment).starts_with(L"Develop");
}

} // namespace

TEST(PortalPage, AllowsOnlyThePortalsOwnSites)
{
    for (const PageAddressCase& c : vl::test::kSampledPages)
        EXPECT_EQ(IsPortalPage(c.address, false), c.portal) << c.address;
    for (const bool developmentMode : {false, true})
        for (const PageAddressCase& c : kAddresses)
            EXPECT_EQ(IsPortalPage(c.address, developmentMode), c.portal) << c.address << " " << developmentMode;
    vl::test::ExpectByMode(kDevelopmentSites, IsPortalPage);
}

TEST(PortalPage, SitesComeFromTheEndpointTable)
{
    // Every row's install page and site root are portal pages, the development rows' in
    // development mode only; no patch base is.
    for (const wchar_t* region : {L"US", L"TW", L"HK", L"CN"})
        for (const wchar_t* environment : {L"Develop", L"Alpha", L"Production", L"RT", L"Develop2.0"}) {
            const std::wstring value = std::wstring(region) + L";" + environment;
            const std::wstring install = LookupEndpoint(value, kInstallPageRole);
            if (!install.starts_with(L"http")) continue;
            SCOPED_TRACE(value);
            EXPECT_TRUE(IsInstallPage(install, true));
            EXPECT_EQ(IsInstallPage(install, false), !IsDevelopmentRow(environment));
            const auto root = ParsePortalPage(LookupEndpoint(value, kSiteRootRole), true);
            ASSERT_TRUE(root);
            EXPECT_EQ(root->developmentSite, IsDevelopmentRow(environment));
            const auto patch = ParseWebAddress(LookupEndpoint(value, kPatchBaseRole));
            ASSERT_TRUE(patch);
            EXPECT_EQ(IsPortalPage(LookupEndpoint(value, kPatchBaseRole), true), root->address.host == patch->host);
        }
}

TEST(PortalPage, ParsedPartsAreLowerCaseWithoutTheTrailingDot)
{
    const auto address = ParseWebAddress(L"HTTPS://Games.VORLINK.com.:443/Play.aspx?a=/b#c");
    ASSERT_TRUE(address);
    EXPECT_EQ(address->scheme, L"https");
    EXPECT_EQ(address->host, L"games.vorlink.com");
    EXPECT_EQ(address->port, 443);
    EXPECT_EQ(address->path, L"/Play.aspx");
    EXPECT_FALSE(ParseWebAddress(L"http://" + std::wstring(64, L'a') + L".com/"));
    EXPECT_FALSE(ParseWebAddress(L"http://w.0../")); // one trailing dot only
    EXPECT_TRUE(ParseWebAddress(L"http://" + std::wstring(63, L'a') + L".com/"));
}

TEST(CommandLineText, RegionValuesOfTheTablesAndTheirFormPass)
{
    for (const wchar_t* region : {L"US", L"TW", L"HK", L"CN"})
        for (const wchar_t* environment : {L"Develop", L"Alpha", L"Production", L"RT", L"Develop2.0"})
            EXPECT_TRUE(IsAcceptedRegionValue(std::wstring(region) + L";" + environment));
    for (const std::wstring& value : {std::wstring(), std::wstring(L"XX;Other_1-2"), std::wstring(64, L'a')})
        EXPECT_TRUE(IsAcceptedRegionValue(value)) << value;
    for (const std::wstring& value :
         {std::wstring(65, L'a'), std::wstring(L"TW;Production /regserver"), std::wstring(L"TW;Production\" \"x"),
          std::wstring(L"TW;Production\t"), std::wstring(L"TW\0;Production", 14), std::wstring(L"TW;Production&&&&K=x"),
          std::wstring(L"TW;Production%TEMP%"), std::wstring(L"TW;Prod\x00FCction"), std::wstring(L"TW;P\\..\\x"),
          std::wstring(L"-unregserver"), std::wstring(L";TW"), std::wstring(L".TW"), std::wstring(L"_TW")})
        EXPECT_FALSE(IsAcceptedRegionValue(value)) << value;
}

TEST(CommandLineText, VersionsAreTheFourNumbersTheComparisonReads)
{
    for (const wchar_t* version : {L"1.0.0.10", L"0.0.0.0", L"2147483647.1.0.0", L"01.2.3.4"}) {
        EXPECT_TRUE(IsAcceptedVersionText(version)) << version;
        EXPECT_TRUE(CompareVersionTexts(version, version).valid()) << version;
    }
    for (const std::wstring& version :
         {std::wstring(), std::wstring(L"1"), std::wstring(L"1.0"), std::wstring(L"1.0.10"), std::wstring(L"1."),
          std::wstring(L".1.2.3"), std::wstring(L"1..0.0"), std::wstring(L"1.0.0.0."), std::wstring(L"1.0.0.0.0"),
          std::wstring(L"1.0.0.10 /regserver"), std::wstring(L"1.0.0.10\""), std::wstring(L"1,0,0,0"),
          std::wstring(L"-1.0.0.0"), std::wstring(L"+1.0.0.0"), std::wstring(L" 1.0.0.0"), std::wstring(L"$1.0.0.0"),
          std::wstring(L"0x1.0.0.0"), std::wstring(L"1.0.0.2147483648"),
          std::wstring(L"\xFF11.0.0.0"), // a full-width digit
          std::wstring(L"1\0.2.3.4", 8)})
        EXPECT_FALSE(IsAcceptedVersionText(version)) << version;
}
