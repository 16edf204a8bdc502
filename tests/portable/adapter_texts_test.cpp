#include "adapter/portable/updater_choices.h"
#include "kernel_link/portable/pipe_names.h"

#include <gtest/gtest.h>

#include "page_addresses.h"

using namespace vl;

TEST(PipeNames, NameThePairByTheUnsignedPipeNumber)
{
    EXPECT_EQ(ReadPipeName(3000000000u), L"\\\\.\\pipe\\VLPipe_3000000000_INBOUND");
    EXPECT_EQ(WritePipeName(3000000000u), L"\\\\.\\pipe\\VLPipe_3000000000_OUTBOUND");
    EXPECT_EQ(PipeIdNotice(3000000000u), L"PipeID=3000000000");
    EXPECT_EQ(PipeIdNotice(0), L"PipeID=0");
}

TEST(UpdaterChoices, RemoteNameCarriesTheRequiredVersion)
{
    EXPECT_EQ(RemoteUpdaterName(L""), L"VLUpdate.exe");
    EXPECT_EQ(RemoteUpdaterName(L"2.0.1.7"), L"VLUpdate_2_0_1_7.exe");
}

TEST(UpdaterChoices, InstallPageIsTheInstallPathOnAPortalSite)
{
    const vl::test::ByModeCase cases[] = {
        {L"http://www.vorlink.com/vorlink_block/install.aspx?x=1", true, true},
        {L"http://dev.tw.vorlink.net/vorlink_block/install.aspx", false, true},
        {L"http://www.vorlink.com/Vorlink_Block/Install.aspx", false, false},
        {L"", false, false},
        {L"http://games.vorlink.com/vorlink_block/install.aspx", false, false},
        {L"http://vorlink.com.evil.example/vorlink_block/install.aspx", false, false},
        {L"http://evil.example/?next=http://tw.vorlink.com/vorlink_block/install.aspx", false, false},
        {L"http://tw.vorlink.com/games/?vorlink_block/install.aspx", false, false},
    };
    vl::test::ExpectByMode(cases, IsInstallPage);
}

TEST(UpdaterChoices, BrowserIsHiddenOnlyForAPageOfTheInstallPagesDeployment)
{
    const wchar_t* install = L"http://www.vorlink.com/vorlink_block/install.aspx";
    const wchar_t* developmentInstall = L"http://dev2.vorlink.net/vorlink_block/install.aspx";
    const struct {
        const wchar_t* page;
        const wchar_t* install;
        int show;            // outside development mode
        int showDevelopment; // in it
    } cases[] = {
        {L"http://tw.vorlink.com/play.aspx", install, 0, 0},
        {L"https://WWW.VORLINK.COM./", install, 0, 0},
        {L"http://dev.tw.vorlink.net/", developmentInstall, 1, 0},
        // A page of the other deployment: another site, as before.
        {L"http://dev.tw.vorlink.net/", install, 1, 1},
        {L"http://tw.vorlink.com/", developmentInstall, 1, 1},
        // Other names below the portal's domains, look-alikes, other sites.
        {L"http://games.vorlink.com/play.aspx", install, 1, 1},
        {L"http://vorlink.com/", install, 1, 1},
        {L"http://www.othersite.com/play.aspx", install, 1, 1},
        {L"http://vorlink.com.evil.example/", install, 1, 1},
        {L"http://evilvorlink.com/", install, 1, 1},
        {L"http://evil.example/www.vorlink.com", install, 1, 1},
        // Short or empty addresses.
        {L"http:/", install, 1, 1},
        {L"", install, 1, 1},
        {L"http://www.vorlink.com/", L"", 1, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InstallBrowserShowCommand(c.page, c.install, false), c.show) << c.page << " " << c.install;
        EXPECT_EQ(InstallBrowserShowCommand(c.page, c.install, true), c.showDevelopment) << c.page << " " << c.install;
    }
}
