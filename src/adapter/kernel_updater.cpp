// Handing an outdated kernel to the updater: the local VLUpdate.exe when it will do, a
// fresh copy over HTTP otherwise, or the portal's install page, which the container opens.
#include "adapter/portable/command_line_text.h"
#include "adapter/portable/updater_choices.h"
#include "adapter/service_core.h"
#include "contract/portable/result_codes.h"
#include "kernel_link/kernel_launcher.h"
#include "module_version.h"
#include "support/platform_calls.h"
#include "support/program_check.h"
#include "support/widget_log.h"
#include "tables/portable/endpoint_table.h"

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
    return m_utility.GetHomeFolder() + L"\\" + kUpdaterFileName;
}

bool ServiceCore::IsUpdaterVersionUsable() const
{
    return m_updaterVersion.empty() || IsAcceptedVersionText(m_updaterVersion);
}

bool ServiceCore::IsUpdaterRecentEnough(const std::wstring& updaterPath)
{
    // An updater without version information, or a required version that is not four
    // numbers, cannot be shown to be recent enough.
    if (!IsUpdaterVersionUsable()) return false;
    const std::wstring version = m_utility.GetFileVersion(updaterPath);
    if (version.empty()) return false;
    // The build's floor holds whatever the page asks for, or when it asks for none.
    for (const std::wstring_view required : {std::wstring_view(VL_MIN_UPDATER_VERSION_WTEXT),
                                             std::wstring_view(m_updaterVersion)}) {
        if (required.empty()) continue;
        const VersionComparison comparison = m_utility.IsOlderVersion(version, required);
        if (!comparison.valid() || comparison.older) return false;
    }
    return true;
}

ProgramCheck ServiceCore::CheckUpdater(const HeldProgramFile& updater, UpdaterFound found)
{
    const auto versionRule = [&] {
        return IsUpdaterRecentEnough(updater.Path()) ? ProgramCheck::Passed : ProgramCheck::VersionTooLow;
    };
    if (found == UpdaterFound::Downloaded) {
        const ProgramCheck check = CheckProgram(updater, m_verifyPublisher);
        return check == ProgramCheck::Passed ? versionRule() : check;
    }
    if (updater.Result() == HoldResult::Missing) return ProgramCheck::Missing;
    if (versionRule() != ProgramCheck::Passed) return ProgramCheck::VersionTooLow;
    VL_LOG(L"    VLUpdate is existing, checking the Torvane signature.\n");
    if (!m_verifyPublisher) VL_LOG(L"    the Torvane signature was corrected.\n");
    return CheckProgram(updater, m_verifyPublisher);
}

ULONG ServiceCore::StartUpdater(const std::wstring& newerVersion)
{
    const std::wstring updaterPath = UpdaterPath();
    const std::wstring parameters = m_regionValue + L" " + newerVersion;
    VL_LOG(L"starting VLUpdate.\n");
    VL_LOG(L"    widget kernel reversion = %s\n", newerVersion.c_str());
    VL_LOG(L"    check whether VLUpdate is existing.\n");

    // Held from the checks of its version and publisher until it has started; its version
    // is read by its resolved name, which leads to the held file.
    HeldProgramFile updater = m_utility.HoldProgram(updaterPath);
    const ProgramCheck check = CheckUpdater(updater, UpdaterFound::Here);
    if (check == ProgramCheck::Passed) {
        VL_LOG(L"    the Torvane signature was corrected.\n");
        VL_LOG(L"    startup VLUpdate.\n");
        // A refused elevation prompt starts nothing: no progress will ever come.
        if (!StartProgram(!m_legacyOS, updater.Path(), parameters, updater.Folder(), SW_HIDE)) return VLS_FAIL;
        return VLS_HAVE_TO_UPDATE;
    }
    // Passed over, shown to nobody: a fresh copy or the install page may still do.
    LogFailedCheck(check, updaterPath, L"    ");
    updater.Release();

    if (!m_legacyOS && !IsInstallPage(m_clientSite, InDevelopmentMode())) {
        if (m_clientSite.empty()) return VLS_FAIL;
        VL_LOG(L"    running a new browser with administrator to download VLUpdate.\n");
        m_container.OpenInstallPage(m_utility.GetEndpoint(kInstallPageRole), m_clientSite);
        return VLS_HAVE_TO_UPDATE;
    }

    // Legacy systems, and the install page itself, fetch the updater here.
    VL_LOG(L"    VLUpdate is not exists, start download it.\n");
    if (!DownloadUpdater(updaterPath, updater)) return VLS_FAIL;
    VL_LOG(L"    startup VLUpdate.\n");
    if (!StartProgram(!m_legacyOS, updater.Path(), parameters, updater.Folder(), SW_HIDE)) return VLS_FAIL;
    return VLS_HAVE_TO_UPDATE;
}

bool ServiceCore::DownloadUpdater(const std::wstring& updaterPath, HeldProgramFile& updater)
{
    // No address is made of text that is not a version.
    if (!IsUpdaterVersionUsable()) {
        VL_LOG(L"    the updater version [%s] is no version, nothing to download.\n", m_updaterVersion.c_str());
        return false;
    }
    const std::wstring address = m_utility.GetEndpoint(kPatchBaseRole) + RemoteUpdaterName(m_updaterVersion);
    PatchHttp& http = m_container.UpdaterHttp();
    auto fail = [&](const std::wstring& message, int line) {
        VL_LOG(L"    occurred exception: %s.\n", message.c_str());
        m_utility.ShowErrorBox(message, kSourceName, line);
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
    if (!WriteProgramFile(m_utility.GetDocumentsFolder(), updaterPath, get.body, writeError))
        m_utility.ShowErrorBox(L"Cannot create file \"" + updaterPath + L"\". System error " +
                                   std::to_wstring(writeError),
                               kSourceName, kSaveFailedLine);

    VL_LOG(L"    download file succeeded, starting check signature.\n");
    updater = m_utility.HoldProgram(updaterPath);
    // A genuine but older updater, served under the new name, is refused as it would be
    // if it lay here already.
    const ProgramCheck check = CheckUpdater(updater, UpdaterFound::Downloaded);
    if (check != ProgramCheck::Passed) {
        // Not left behind for a later run to find.
        updater.Discard();
        ShowFailedCheck(m_utility, check, updaterPath, kSourceName, kSignatureFailedLine);
        LogFailedCheck(check, updaterPath, L"    ");
        return false;
    }
    VL_LOG(L"    the Torvane signature was corrected.\n");
    return true;
}

} // namespace vl
