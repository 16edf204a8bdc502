// Handing an outdated kernel to the updater: the local VLUpdate.exe when it will do, a
// fresh copy over HTTP otherwise, or the portal's install page in an elevated browser.
#include "adapter/VLServiceAdapterImpl.h"
#include "adapter/portable/updater_choices.h"
#include "support/platform_calls.h"
#include "support/held_program_file.h"
#include "support/widget_log.h"
#include "tables/portable/endpoint_table.h"
#include "tables/portable/message_table.h"

namespace {

constexpr const wchar_t* kUpdaterFileName = L"VLUpdate.exe";
constexpr const wchar_t* kBrowserFolder = L"C:\\Program Files\\Internet Explorer";
constexpr const wchar_t* kSourceName = L"VLServiceAdapterImpl";
constexpr int kHeadFailedLine = 1867;
constexpr int kGetFailedLine = 1888;
constexpr int kSaveFailedLine = 1900;
constexpr int kSignatureFailedLine = 1919;

bool WriteWholeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes, std::wstring& error)
{
    vl::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file.valid() && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size())
        return true;
    error = L"Cannot create file \"" + path + L"\". System error " + std::to_wstring(::GetLastError());
    return false;
}

} // namespace

std::wstring TVLServiceAdapterXImpl::UpdaterPath() const
{
    return m_pUtility->GetHomeFolder() + L"\\" + kUpdaterFileName;
}

bool TVLServiceAdapterXImpl::IsLocalUpdaterUsable(const std::wstring& updaterPath)
{
    if (!m_pUtility->IsFileFound(updaterPath)) return false;
    if (m_szUpdatorVersion.empty()) return true;
    // An updater without version information, or a required version that is not four
    // numbers, cannot be shown to be recent enough.
    const std::wstring version = m_pUtility->GetFileVersion(updaterPath);
    if (version.empty()) return false;
    const vl::VersionComparison comparison = m_pUtility->IsOlderVersion(version, m_szUpdatorVersion);
    return comparison.valid() && !comparison.older;
}

ULONG TVLServiceAdapterXImpl::StartUpdater(const std::wstring& newerVersion)
{
    const std::wstring updaterPath = UpdaterPath();
    const std::wstring parameters = m_szRegionVer + L" " + newerVersion;
    const std::wstring home = m_pUtility->GetHomeFolder();
    VL_LOG(L"starting VLUpdate.\n");
    VL_LOG(L"    widget kernel reversion = %s\n", newerVersion.c_str());
    VL_LOG(L"    check whether VLUpdate is existing.\n");

    // Held from the checks of its version and publisher until it has started.
    vl::HeldProgramFile updater(updaterPath);
    bool usable = IsLocalUpdaterUsable(updaterPath);
    if (usable) {
        VL_LOG(L"    VLUpdate is existing, checking the Torvane signature.\n");
        if (!m_bVerifyPublisher) {
            VL_LOG(L"    the Torvane signature was corrected.\n");
        } else if (!(updater.Held() && m_pUtility->VerifyPublisher(updaterPath))) {
            VL_LOG(L"    the Torvane signature was failed.\n");
            usable = false;
        }
    }
    if (usable) {
        VL_LOG(L"    the Torvane signature was corrected.\n");
        VL_LOG(L"    startup VLUpdate.\n");
        vl::StartProgram(ProgramVerb(), updater.Path(), parameters, home, SW_HIDE);
        return VLS_HAVE_TO_UPDATE;
    }
    updater.Release();

    if (!m_bLegacyOS && !vl::IsInstallPage(m_szClientSite, InDevelopmentMode())) {
        if (m_szClientSite.empty()) return VLS_FAIL;
        VL_LOG(L"    running a new browser with administrator to download VLUpdate.\n");
        const std::wstring installPage = m_pUtility->GetEndpoint(vl::kInstallPageRole);
        vl::StartProgram(L"runas", std::wstring(kBrowserFolder) + L"\\iexplore.exe", installPage, kBrowserFolder,
                         vl::InstallBrowserShowCommand(m_szClientSite, installPage, InDevelopmentMode()));
        return VLS_HAVE_TO_UPDATE;
    }

    // Legacy systems, and the install page itself, fetch the updater here.
    VL_LOG(L"    VLUpdate is not exists, start download it.\n");
    if (!DownloadUpdater(updaterPath, updater)) return VLS_FAIL;
    VL_LOG(L"    startup VLUpdate.\n");
    vl::StartProgram(ProgramVerb(), updater.Path(), parameters, home, SW_HIDE);
    return VLS_HAVE_TO_UPDATE;
}

bool TVLServiceAdapterXImpl::DownloadUpdater(const std::wstring& updaterPath, vl::HeldProgramFile& updater)
{
    const std::wstring address = m_pUtility->GetEndpoint(vl::kPatchBaseRole) + vl::RemoteUpdaterName(m_szUpdatorVersion);
    auto& http = m_pForm->m_PatchHttp;
    auto fail = [&](const std::wstring& message, int line) {
        VL_LOG(L"    occurred exception: %s.\n", message.c_str());
        m_pUtility->ShowErrorBox(message, kSourceName, line);
        return false;
    };

    VL_LOG(L"    navigate %s (get head).\n", address.c_str());
    const auto head = http.Head(address);
    if (!head.Succeeded()) return fail(head.error, kHeadFailedLine);

    VL_LOG(L"    navigate %s (get file).\n", address.c_str());
    const auto get = http.Get(address);
    if (!get.Succeeded()) return fail(get.error, kGetFailedLine);

    // What the server announced and what arrived must agree.
    const long received = m_pForm->m_nWorkCount;
    if (received == 0 || !head.contentLength || *head.contentLength != received) return false;

    std::wstring writeError;
    if (!WriteWholeFile(updaterPath, get.body, writeError))
        m_pUtility->ShowErrorBox(writeError, kSourceName, kSaveFailedLine);

    VL_LOG(L"    download file succeeded, starting check signature.\n");
    updater = vl::HeldProgramFile(updaterPath);
    if (m_bVerifyPublisher && !(updater.Held() && m_pUtility->VerifyPublisher(updaterPath))) {
        // Not left behind for a later run to find.
        updater.Discard();
        m_pUtility->ShowErrorBox(m_pUtility->GetMessageText(vl::kSignatureErrorMessage) + L"\n(" + updaterPath + L")",
                                 kSourceName, kSignatureFailedLine);
        VL_LOG(L"    the Torvane signature was failed.\n");
        return false;
    }
    VL_LOG(L"    the Torvane signature was corrected.\n");
    return true;
}
