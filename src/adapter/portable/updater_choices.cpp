#include "adapter/portable/updater_choices.h"

#include <algorithm>
#include <optional>

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
    return clientSite.find(L"vorlink_block/install.aspx") != std::wstring_view::npos;
}

namespace {
// "vorlink.com" of "http://www.vorlink.com/page": the label before the first ".com" after
// the seven characters of the scheme, with ".com".
std::optional<std::wstring_view> SiteDomain(std::wstring_view address)
{
    constexpr std::size_t kSchemeLength = 7; // "http://"
    if (address.size() <= kSchemeLength) return std::nullopt;
    address.remove_prefix(kSchemeLength);
    const auto com = address.find(L".com");
    if (com == std::wstring_view::npos) return std::nullopt;
    const auto labelDot = address.substr(0, com).rfind(L'.');
    const std::size_t start = labelDot == std::wstring_view::npos ? 0 : labelDot + 1;
    return address.substr(start, com + 4 - start);
}
} // namespace

int InstallBrowserShowCommand(std::wstring_view clientSite, std::wstring_view installPage)
{
    const auto page = SiteDomain(clientSite);
    const auto install = SiteDomain(installPage);
    return page && install && *page == *install ? 0 : 1;
}

} // namespace vl
