// Feeds arbitrary text (UTF-16 code units, two bytes each) through the web address parser
// and the portal page decisions, and checks what a parsed address promises.
#include "adapter/portable/updater_choices.h"
#include "support/portable/portal_page.h"

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
    if (const auto page = vl::ParsePortalPage(text)) {
        if (page->scheme != L"http" && page->scheme != L"https") std::abort();
        if (!vl::IsHostInDomain(page->host, L"vorlink.com") && !vl::IsHostInDomain(page->host, L"vorlink.net"))
            std::abort();
    }
    vl::IsInstallPage(text);
    vl::InstallBrowserShowCommand(text, L"http://www.vorlink.com/vorlink_block/install.aspx");
    return 0;
}
