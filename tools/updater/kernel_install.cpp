#include "kernel_install.h"

#include <windows.h>

#include "file_bytes.h"
#include "stand_in_paths.h"
#include "support/portable/home_folder.h"
#include "support/widget_utility.h"

namespace vl {

std::wstring InstallKernel(const std::string& bytes, const std::wstring& requiredVersion)
{
    const std::wstring home = StandInHomeFolder();
    if (home.empty()) return L"No home folder";
    const std::wstring target = JoinPath(home, kKernelFileName);
    const std::wstring staged = target + L".new";
    if (!WriteFileBytes(staged, bytes)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(staged.c_str());
        return L"Cannot write " + staged + L" (error " + std::to_wstring(error) + L")";
    }

    CVLWidgetUtility utility(L"VLUpdate");
    const std::wstring version = utility.GetFileVersion(staged);
    const VersionComparison comparison = utility.IsOlderVersion(version, requiredVersion);
    std::wstring failure;
    if (version.empty()) failure = L"The fetched file has no version";
    else if (!comparison.valid() || comparison.older)
        failure = L"The fetched file has version " + version + L", not " + requiredVersion;
    else if (!::MoveFileExW(staged.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        failure = L"Cannot replace " + target + L" (error " + std::to_wstring(::GetLastError()) + L")";
    if (!failure.empty()) ::DeleteFileW(staged.c_str());
    return failure;
}

} // namespace vl
