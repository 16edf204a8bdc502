#include "stand_in_paths.h"

#include <windows.h>

#include "support/widget_utility.h"

namespace vl {

std::wstring StandInHomeFolder()
{
    const std::wstring home = CVLWidgetUtility(L"vorlink!").GetHomeFolder();
    if (!home.empty()) ::CreateDirectoryW(home.c_str(), nullptr);
    return home;
}

std::wstring ModulePath(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

} // namespace vl
