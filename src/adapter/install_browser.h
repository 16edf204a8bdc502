// The control's way to the portal's install page: an elevated browser, since the updater
// it leads to must be installed with the administrator's rights.
#pragma once

#include <string>

namespace vl {

// Starts Internet Explorer with the "runas" verb on `installPage`, shown or hidden as the
// hosting page at `clientSite` calls for (InstallBrowserShowCommand); not waited for.
void StartInstallBrowser(const std::wstring& installPage, const std::wstring& clientSite, bool developmentMode);

} // namespace vl
