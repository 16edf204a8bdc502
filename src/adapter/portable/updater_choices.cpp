#include "adapter/portable/updater_choices.h"

#include <algorithm>

#include "support/portable/portal_page.h"
#include "tables/portable/portal_sites.h"

namespace vl {

std::wstring RemoteUpdaterName(std::wstring_view updaterVersion)
{
    if (updaterVersion.empty()) return L"VLUpdate.exe";
    std::wstring name = L"VLUpdate_" + std::wstring(updaterVersion) + L".exe";
    std::replace(name.begin() + 9, name.end() - 4, L'.', L'_');
    return name;
}

bool IsInstallPage(std::wstring_view clientSite)
{
    const auto page = ParsePortalPage(clientSite);
    return page && page->path.ends_with(L"/vorlink_block/install.aspx");
}

int InstallBrowserShowCommand(std::wstring_view clientSite, std::wstring_view installPage)
{
    const auto page = ParseWebAddress(clientSite);
    const auto install = ParseWebAddress(installPage);
    return page && install && IsHostInDomain(page->host, DomainOf(install->host)) ? 0 : 1;
}

} // namespace vl
