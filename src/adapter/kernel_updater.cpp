// Handing an outdated kernel to the updater: the local VLUpdate.exe when it will do, a
// fresh copy over HTTP otherwise, or the portal's install page, which the container opens.
#include "adapter/portable/command_line_text.h"
#include "adapter/portable/updater_choices.h"
#include "adapter/service_core.h"
#include "com_server/Vlserviceadapter_tlb.h"
#include "kernel_link/kernel_launcher.h"
#include "support/held_program_file.h"
#include "support/platform_calls.h"
#include "support/widget_log.h"
#include "tables/portable/endpoint_table.h"
#include "tables/portable/message_table.h"

namespace vl {

namespace {

constexpr const wchar_t* kUpdaterFileName = L"VLUpdate.exe";
constexpr const wchar_t* kSourceName = L"VLServiceAdapterImpl";
constexpr int kHeadFailedLine = 1867;
constexpr int kGetFailedLine = 1888;
constexpr int kSaveFailedLine = 1900;
constexpr int kSignatureFailedLine = 1919;

} // namespace

std::wstring ServiceCore::UpdaterPath() const
{
    return m_Utility.GetHomeFolder() + L"\\" + kUpdaterFileName;
}

bool ServiceCore::IsUpdaterVersionUsable() const
{
    return m_szUpdatorVersion.empty() || IsAcceptedVersionText(m_szUpdatorVersion);
}

bool ServiceCore::IsUpdaterRecentEnough(const std::wstring& updaterPath)
{
    if (m_szUpdatorVersion.empty()) return true;
    // An updater without version information, or a required version that is not four
    // numbers, cannot be shown to be recent enough.
    if (!IsUpdaterVersionUsable()) return false;
    const std::wstring version = m_Utility.GetFileVersion(updaterPath);
    if (version.empty()) return false;
    const VersionComparison comparison = m_Utility.IsOlderVersion(version, m_szUpdatorVersion);
    return comparison.valid() && !comparison.older;
}

bool ServiceCore::IsLocalUpdaterUsable(const std::wstring& updaterPath)
{
    return m_Utility.IsFileFound(updaterPath) && IsUpdaterRecentEnough(updaterPath);
}

ULONG ServiceCore::StartUpdater(const std::wstring& newerVersion)
{
    const std::wstring updaterPath = UpdaterPath();
    const std::wstring parameters = m_szRegionVer + L" " + newerVersion;
    const std::wstring home = m_Utility.GetHomeFolder();
    VL_LOG(L"starting VLUpdate.\n");
    VL_LOG(L"    widget kernel reversion = %s\n", newerVersion.c_str());
    VL_LOG(L"    check whether VLUpdate is existing.\n");

    // Held from the checks of its version and publisher until it has started.
    HeldProgramFile updater = m_Utility.HoldProgram(updaterPath);
    bool usable = IsLocalUpdaterUsable(updaterPath);
    if (usable) {
        VL_LOG(L"    VLUpdate is existing, checking the Torvane signature.\n");
        if (!m_bVerifyPublisher) {
            VL_LOG(L"    the Torvane signature was corrected.\n");
        } else if (!m_Utility.VerifyPublisher(updater)) {
            VL_LOG(L"    the Torvane signature was failed.\n");
            usable = false;
        }
    }
    if (usable) {
        VL_LOG(L"    the Torvane signature was corrected.\n");
        VL_LOG(L"    startup VLUpdate.\n");
        StartProgram(ProgramVerb(m_bLegacyOS), updater.Path(), parameters, home, SW_HIDE);
        return VLS_HAVE_TO_UPDATE;
    }
    updater.Release();

    if (!m_bLegacyOS && !IsInstallPage(m_szClientSite, InDevelopmentMode())) {
        if (m_szClientSite.empty()) return VLS_FAIL;
        VL_LOG(L"    running a new browser with administrator to download VLUpdate.\n");
        m_container.OpenInstallPage(m_Utility.GetEndpoint(kInstallPageRole), m_szClientSite);
        return VLS_HAVE_TO_UPDATE;
    }

    // Legacy systems, and the install page itself, fetch the updater here.
    VL_LOG(L"    VLUpdate is not exists, start download it.\n");
    if (!DownloadUpdater(updaterPath, updater)) return VLS_FAIL;
    VL_LOG(L"    startup VLUpdate.\n");
    StartProgram(ProgramVerb(m_bLegacyOS), updater.Path(), parameters, home, SW_HIDE);
    return VLS_HAVE_TO_UPDATE;
}

bool ServiceCore::DownloadUpdater(const std::wstring& updaterPath, HeldProgramFile& updater)
{
    // No address is made of text that is not a version.
    if (!IsUpdaterVersionUsable()) {
        VL_LOG(L"    the updater version [%s] is no version, nothing to download.\n", m_szUpdatorVersion.c_str());
        return false;
    }
    const std::wstring address = m_Utility.GetEndpoint(kPatchBaseRole) + RemoteUpdaterName(m_szUpdatorVersion);
    PatchHttp& http = m_container.UpdaterHttp();
    auto fail = [&](const std::wstring& message, int line) {
        VL_LOG(L"    occurred exception: %s.\n", message.c_str());
        m_Utility.ShowErrorBox(message, kSourceName, line);
        return false;
    };

    VL_LOG(L"    navigate %s (get head).\n", address.c_str());
    const auto head = http.Head(address);
    if (!head.Succeeded()) return fail(head.error, kHeadFailedLine);

    VL_LOG(L"    navigate %s (get file).\n", address.c_str());
    const auto get = http.Get(address);
    if (!get.Succeeded()) return fail(get.error, kGetFailedLine);

    // What the server announced and what arrived must agree.
    const auto received = static_cast<std::int64_t>(get.body.size());
    if (received == 0 || !head.contentLength || *head.contentLength != received) return false;

    DWORD writeError = 0;
    if (!WriteProgramFile(m_Utility.GetDocumentsFolder(), updaterPath, get.body, writeError))
        m_Utility.ShowErrorBox(L"Cannot create file \"" + updaterPath + L"\". System error " +
                                   std::to_wstring(writeError),
                               kSourceName, kSaveFailedLine);

    VL_LOG(L"    download file succeeded, starting check signature.\n");
    updater = m_Utility.HoldProgram(updaterPath);
    bool passed = !m_bVerifyPublisher || m_Utility.VerifyPublisher(updater);
    // A genuine but older updater, served under the new name, is refused as it would be
    // if it lay here already.
    if (passed && !IsUpdaterRecentEnough(updaterPath)) {
        VL_LOG(L"    the downloaded VLUpdate is older than [%s].\n", m_szUpdatorVersion.c_str());
        passed = false;
    }
    if (!passed) {
        // Not left behind for a later run to find.
        updater.Discard();
        m_Utility.ShowErrorBox(m_Utility.GetMessageText(kSignatureErrorMessage) + L"\n(" + updaterPath + L")",
                               kSourceName, kSignatureFailedLine);
        VL_LOG(L"    the Torvane signature was failed.\n");
        return false;
    }
    VL_LOG(L"    the Torvane signature was corrected.\n");
    return true;
}

} // namespace vl
