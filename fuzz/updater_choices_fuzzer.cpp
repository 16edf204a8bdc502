// The updater's decisions on texts from the page: the updater version it names and the page
// address, against an install page address; two texts split at the first NUL byte.
#include "adapter/portable/updater_choices.h"
#include "support/portable/portal_page.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto [first, second] = vl::fuzz::TwoTexts(data, size);

    const std::wstring name = vl::RemoteUpdaterName(first);
    if (first.empty()) {
        if (name != L"VLUpdate.exe") std::abort();
    } else {
        // The version's dots, and only they, become "_"; nothing else is changed.
        if (name.size() != first.size() + 13 || !name.starts_with(L"VLUpdate_") || !name.ends_with(L".exe"))
            std::abort();
        for (std::size_t i = 0; i < first.size(); ++i)
            if (name[9 + i] != (first[i] == L'.' ? L'_' : first[i])) std::abort();
    }

    for (const bool developmentMode : {false, true}) {
        // The install page is a portal page with the install page's path.
        if (vl::IsInstallPage(first, developmentMode) &&
            (!vl::IsPortalPage(first, developmentMode) || first.find(L"/vorlink_block/install.aspx") == std::wstring::npos))
            std::abort();

        // Hidden only for two portal pages; a portal page is of its own deployment.
        const int show = vl::InstallBrowserShowCommand(first, second, developmentMode);
        if ((show != 0 && show != 1) ||
            (show == 0 && !(vl::IsPortalPage(first, developmentMode) && vl::IsPortalPage(second, developmentMode))))
            std::abort();
        if ((vl::InstallBrowserShowCommand(first, first, developmentMode) == 0) !=
            vl::IsPortalPage(first, developmentMode))
            std::abort();
    }
    return 0;
}
