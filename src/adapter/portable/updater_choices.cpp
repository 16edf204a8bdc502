#include "adapter/portable/updater_choices.h"

#include <algorithm>

#include "support/portable/portal_page.h"

namespace vl {

std::wstring RemoteUpdaterName(std::wstring_view updaterVersion)
{
    if (updaterVersion.empty()) return L"VLUpdate.exe";
    std::wstring name = L"VLUpdate_" + std::wstring(updaterVersion) + L".exe";
    std::replace(name.begin() + 9, name.end() - 4, L'.', L'_');
    return name;
}

bool IsInstallPage(std::wstring_view clientSite, bool developmentMode)
{
    const auto page = ParsePortalPage(clientSite, developmentMode);
    return page && page->address.path.ends_with(L"/vorlink_block/install.aspx");
}

int InstallBrowserShowCommand(std::wstring_view clientSite, std::wstring_view installPage, bool developmentMode)
{
    const auto page = ParsePortalPage(clientSite, developmentMode);
    const auto install = ParsePortalPage(installPage, developmentMode);
    return page && install && page->developmentSite == install->developmentSite ? 0 : 1;
}

} // namespace vl
