// The updater's decisions on texts from the page: the updater version it names and the page
// address, against an install page address; two texts split at the first NUL byte.
#include "adapter/portable/updater_choices.h"

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

    if (vl::IsInstallPage(first) != (first.find(L"vorlink_block/install.aspx") != std::wstring::npos)) std::abort();

    // The same site either way round; an address is of its own site when it has one.
    const int show = vl::InstallBrowserShowCommand(first, second);
    if ((show != 0 && show != 1) || show != vl::InstallBrowserShowCommand(second, first)) std::abort();
    const bool hasSite = first.size() > 7 && first.find(L".com", 7) != std::wstring::npos;
    if ((vl::InstallBrowserShowCommand(first, first) == 0) != hasSite) std::abort();
    return 0;
}
