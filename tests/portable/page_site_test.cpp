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

using namespace vl;

namespace {

using vl::test::PageAddressCase;

// Beyond the sampled pages.
const PageAddressCase kAddresses[] = {
    // The portal's sites and subdomains, as browsers write them.
    {L"http://www.vorlink.com/", true},
    {L"https://tw.vorlink.com/vorlink_block/install.aspx?region=TW", true},
    {L"HTTP://WWW.VORLINK.COM/Games", true},
    {L"http://www.vorlink.com./", true},
    {L"http://games.tw.vorlink.com/play.aspx#top", true},
    {L"http://vorlink.com", true},
    {L"http://dev2.vorlink.net/x", true},
    {L"http://www.vorlink.com:80/", true},
    {L"https://www.vorlink.com:443/", true},
    {L"http://www.vorlink.com?x=1", true},
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
    {L"http://vorlink.com..", false},
};

} // namespace

TEST(PortalPage, AllowsThePortalsSitesAndRefusesEverythingElse)
{
    for (const PageAddressCase& c : vl::test::kSampledPages) EXPECT_EQ(IsPortalPage(c.address), c.portal) << c.address;
    for (const PageAddressCase& c : kAddresses) EXPECT_EQ(IsPortalPage(c.address), c.portal) << c.address;
}

TEST(PortalPage, SitesComeFromTheEndpointTable)
{
    const PortalSites& sites = GetPortalSites();
    EXPECT_EQ(sites.domains, (std::vector<std::wstring>{L"vorlink.net", L"vorlink.com"}));
    // Every row's install page is a portal page and the install page.
    for (const wchar_t* region : {L"US", L"TW", L"HK", L"CN"})
        for (const wchar_t* environment : {L"Develop", L"Alpha", L"Production", L"RT", L"Develop2.0"}) {
            const std::wstring page = LookupEndpoint(std::wstring(region) + L";" + environment, kInstallPageRole);
            if (!page.starts_with(L"http")) continue;
            EXPECT_TRUE(IsInstallPage(page)) << page;
        }
    for (const std::wstring& host : sites.hosts) EXPECT_TRUE(IsPortalPage(L"https://" + host + L"/")) << host;
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
          std::wstring(L"TW;Production%TEMP%"), std::wstring(L"TW;Prod\x00FCction"), std::wstring(L"TW;P\\..\\x")})
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
