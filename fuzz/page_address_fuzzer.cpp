// Feeds arbitrary text (UTF-16 code units, two bytes each) through the web address parser
// and the portal page decisions, and checks what a parsed address promises.
#include "adapter/portable/updater_choices.h"
#include "support/portable/portal_page.h"
#include "tables/portable/portal_sites.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool IsHostCharacter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

    if (const auto address = vl::ParseWebAddress(text)) {
        if (address->host.empty() || address->host.back() == L'.' || address->port > 65535) std::abort();
        for (wchar_t c : address->host)
            if (!IsHostCharacter(c)) std::abort();
    }
    for (const bool developmentMode : {false, true}) {
        // Only the table's own site hosts, exactly; a development site only in development mode.
        if (const auto page = vl::ParsePortalPage(text, developmentMode)) {
            if (page->address.scheme != L"http" && page->address.scheme != L"https") std::abort();
            const vl::PortalSite* site = vl::FindPortalSite(page->address.host, developmentMode);
            if (!site || site->host != page->address.host || site->development != page->developmentSite ||
                (site->development && !developmentMode))
                std::abort();
        }
        vl::IsInstallPage(text, developmentMode);
        vl::InstallBrowserShowCommand(text, L"http://www.vorlink.com/vorlink_block/install.aspx", developmentMode);
    }
    return 0;
}
