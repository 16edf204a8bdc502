// The stand-in updater VLUpdate.exe. Parameter text: "<region value> <required kernel
// version>" (split at the last blank). Installs that version of the kernel into the home
// folder as VLWidgetKernel.exe, taking the file VLWidgetKernel_<version, "." as "_">.exe
// from the folder named by the environment variable VL_UPDATER_SOURCE when it is set,
// otherwise over HTTP from the region's patch base.
//
// Progress is the string "Progress" under HKCU\SOFTWARE\Torvane\vorlink!, which pages read
// through LoadData("UpdateStatus"):
//   "Status=Starting"                        the parameters were understood
//   "Status=Downloading&&&&Percent=<0-100>"  the kernel file is being fetched
//   "Status=Installing"                      it is checked and put in place
//   "Status=Done&&&&Version=<version>"       a kernel of at least that version is installed
//   "Status=Failed&&&&Reason=<text>"         the present kernel is unchanged; the text says why
// Exit code 0 when done, 1 when failed.
#include <windows.h>

#include <algorithm>
#include <string>

#include "command_line.h"
#include "file_bytes.h"
#include "kernel_download.h"
#include "kernel_install.h"
#include "support/portable/home_folder.h"
#include "support/portable/version_text.h"
#include "support/product_registry.h"
#include "tables/portable/endpoint_table.h"

namespace {

void ReportProgress(const std::wstring& text)
{
    vl::WriteProductString(L"Progress", text);
}

void ReportDownloading(int percent)
{
    ReportProgress(L"Status=Downloading&&&&Percent=" + std::to_wstring(percent));
}

int Fail(const std::wstring& reason)
{
    ReportProgress(L"Status=Failed&&&&Reason=" + reason);
    return 1;
}

int RunUpdater()
{
    const std::wstring parameters = vl::ParameterText(::GetCommandLineW());
    const auto blank = parameters.rfind(L' ');
    if (blank == std::wstring::npos) return Fail(L"Expected the region value and the kernel version");
    const std::wstring region = parameters.substr(0, blank);
    const std::wstring version = parameters.substr(blank + 1);
    if (!vl::CompareVersionTexts(version, version).valid()) return Fail(L"Not a version: " + version);
    ReportProgress(L"Status=Starting");

    std::wstring fileName = L"VLWidgetKernel_" + version + L".exe";
    std::replace(fileName.begin(), fileName.end() - 4, L'.', L'_');
    std::string bytes;
    ReportDownloading(0);
    if (const std::wstring folder = vl::EnvironmentText(L"VL_UPDATER_SOURCE"); !folder.empty()) {
        const auto read = vl::ReadFileBytes(vl::JoinPath(folder, fileName));
        if (!read) return Fail(L"Cannot read " + vl::JoinPath(folder, fileName));
        bytes = *read;
        ReportDownloading(100);
    } else {
        const std::wstring base = vl::LookupEndpoint(region, vl::kPatchBaseRole);
        if (base.rfind(L"http://", 0) != 0) return Fail(L"No patch base for the region " + region);
        vl::DownloadResult download = vl::DownloadFile(base + fileName, ReportDownloading);
        if (!download.failure.empty()) return Fail(download.failure);
        bytes = std::move(download.bytes);
    }

    ReportProgress(L"Status=Installing");
    if (const std::wstring failure = vl::InstallKernel(bytes, version); !failure.empty()) return Fail(failure);
    ReportProgress(L"Status=Done&&&&Version=" + version);
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try {
        return RunUpdater();
    } catch (...) {
        return Fail(L"Unexpected failure");
    }
}
