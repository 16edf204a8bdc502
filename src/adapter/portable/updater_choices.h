// The texts behind the updater's decisions.
#pragma once

#include <string>
#include <string_view>

namespace vl {

// "VLUpdate.exe", or for a required updater version "VLUpdate_" + version with "_" for
// "." + ".exe" (2.0.1.7 gives VLUpdate_2_0_1_7.exe).
std::wstring RemoteUpdaterName(std::wstring_view updaterVersion);

// Whether the hosting page is the portal's install page itself: a portal page (in the
// given mode) whose path ends in "/vorlink_block/install.aspx".
bool IsInstallPage(std::wstring_view clientSite, bool developmentMode);

// Window state of the elevated browser that opens the install page: hidden (0) when the
// hosting page and the install page are both portal pages of the same deployment (both
// released sites or both development sites), shown (1) otherwise, also when either
// address is no portal page.
int InstallBrowserShowCommand(std::wstring_view clientSite, std::wstring_view installPage, bool developmentMode);

} // namespace vl
