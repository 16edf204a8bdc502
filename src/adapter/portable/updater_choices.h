// The texts behind the updater's decisions.
#pragma once

#include <string>
#include <string_view>

namespace vl {

// "VLUpdate.exe", or for a required updater version "VLUpdate_" + version with "_" for
// "." + ".exe" (2.0.1.7 gives VLUpdate_2_0_1_7.exe).
std::wstring RemoteUpdaterName(std::wstring_view updaterVersion);

// Whether the hosting page is the portal's install page itself.
bool IsInstallPage(std::wstring_view clientSite);

// Window state of the elevated browser that opens the install page: hidden (0) when the
// hosting page belongs to the install page's site, shown (1) otherwise. A site is the
// domain name that ends in ".com" after the scheme; an address without one is another site.
int InstallBrowserShowCommand(std::wstring_view clientSite, std::wstring_view installPage);

} // namespace vl
