// The texts behind the updater's decisions.
#pragma once

#include <string>
#include <string_view>

namespace vl {

// "VLUpdate.exe", or for a required updater version "VLUpdate_" + version with "_" for
// "." + ".exe" (2.0.1.7 gives VLUpdate_2_0_1_7.exe).
std::wstring RemoteUpdaterName(std::wstring_view updaterVersion);

// Whether the hosting page is the portal's install page itself: a portal page whose path
// ends in "/vorlink_block/install.aspx".
bool IsInstallPage(std::wstring_view clientSite);

// Window state of the elevated browser that opens the install page: hidden (0) when the
// hosting page's host lies in the install page's domain ("vorlink.com"), shown (1)
// otherwise, also when either address does not parse.
int InstallBrowserShowCommand(std::wstring_view clientSite, std::wstring_view installPage);

} // namespace vl
