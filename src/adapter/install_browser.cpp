#include "adapter/install_browser.h"

#include "adapter/portable/updater_choices.h"
#include "support/platform_calls.h"

namespace vl {

namespace {
constexpr const wchar_t* kBrowserFolder = L"C:\\Program Files\\Internet Explorer";
} // namespace

void StartInstallBrowser(const std::wstring& installPage, const std::wstring& clientSite, bool developmentMode)
{
    StartElevatedProgram(std::wstring(kBrowserFolder) + L"\\iexplore.exe", installPage, kBrowserFolder,
                         InstallBrowserShowCommand(clientSite, installPage, developmentMode));
}

} // namespace vl
