#include "adapter/portable/updater_choices.h"
#include "kernel_link/portable/pipe_names.h"

#include <gtest/gtest.h>

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
    EXPECT_TRUE(IsInstallPage(L"http://www.vorlink.com/vorlink_block/install.aspx?x=1"));
    EXPECT_FALSE(IsInstallPage(L"http://www.vorlink.com/Vorlink_Block/Install.aspx"));
    EXPECT_FALSE(IsInstallPage(L""));
    EXPECT_FALSE(IsInstallPage(L"http://vorlink.com.evil.example/vorlink_block/install.aspx"));
    EXPECT_FALSE(IsInstallPage(L"http://evil.example/?next=http://tw.vorlink.com/vorlink_block/install.aspx"));
    EXPECT_FALSE(IsInstallPage(L"http://tw.vorlink.com/games/?vorlink_block/install.aspx"));
}

TEST(UpdaterChoices, BrowserIsHiddenOnlyForThePortalsOwnSite)
{
    const wchar_t* install = L"http://www.vorlink.com/vorlink_block/install.aspx";
    EXPECT_EQ(InstallBrowserShowCommand(L"http://games.vorlink.com/play.aspx", install), 0);
    EXPECT_EQ(InstallBrowserShowCommand(L"https://VORLINK.COM./", install), 0);
    EXPECT_EQ(InstallBrowserShowCommand(L"http://www.othersite.com/play.aspx", install), 1);
    // Look-alikes: the host decides, not a text anywhere in the address.
    EXPECT_EQ(InstallBrowserShowCommand(L"http://vorlink.com.evil.example/", install), 1);
    EXPECT_EQ(InstallBrowserShowCommand(L"http://evilvorlink.com/", install), 1);
    EXPECT_EQ(InstallBrowserShowCommand(L"http://evil.example/www.vorlink.com", install), 1);
    // Another domain, short or empty addresses: another site.
    EXPECT_EQ(InstallBrowserShowCommand(L"http://www.vorlink.net/", install), 1);
    EXPECT_EQ(InstallBrowserShowCommand(L"http:/", install), 1);
    EXPECT_EQ(InstallBrowserShowCommand(L"", install), 1);
    EXPECT_EQ(InstallBrowserShowCommand(L"http://www.vorlink.com/", L""), 1);
}
