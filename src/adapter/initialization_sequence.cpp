// The page's first calls: record the region, compare the installed kernel's version with
// the required one, then hand over to the updater or start the kernel and link to it.
#include "adapter/portable/command_line_text.h"
#include "adapter/service_core.h"
#include "contract/portable/result_codes.h"
#include "support/product_registry.h"
#include "support/widget_log.h"

namespace vl {

void ServiceCore::StoreRegion(const std::wstring& regionValue)
{
    m_szRegionVer = regionValue;
    m_Utility.SetRegionValue(regionValue);
    // A fresh update attempt starts from "Status=Waiting".
    CreateProductKey();
    DeleteProductValue(L"Progress");
}

bool ServiceCore::AreArgumentsAccepted(const std::wstring& regionValue, const std::wstring& newerVersion,
                                       std::initializer_list<std::pair<std::size_t, const std::wstring*>> more)
{
    if (!IsTextCarried(regionValue, 0) || !IsTextCarried(newerVersion, 1)) return false;
    for (const auto& [position, text] : more)
        if (!IsTextCarried(*text, position)) return false;
    // The region and the version end up on the command lines of programs started elevated.
    // The stored updater version is judged where the updater is chosen.
    return IsAcceptedRegionValue(regionValue) && IsAcceptedVersionText(newerVersion);
}

HRESULT ServiceCore::Initialize(const std::wstring& regionValue, const std::wstring& newerVersion, ULONG& result)
{
    if (!AreArgumentsAccepted(regionValue, newerVersion)) {
        result = VLS_FAIL;
        return S_FALSE;
    }
    m_szClientSite = m_container.PageAddress();
    VL_LOG(L"service adapter starting initiate.\n");
    StoreRegion(regionValue);
    return RunInitialization(newerVersion, result);
}

HRESULT ServiceCore::Initialize2(const std::wstring& regionValue, const std::wstring& newerVersion,
                                 const std::wstring& checksum, ULONG timeout, const std::wstring& clientSite,
                                 ULONG& result)
{
    if (!AreArgumentsAccepted(regionValue, newerVersion, {{2, &checksum}, {4, &clientSite}})) {
        result = VLS_FAIL;
        return S_FALSE;
    }
    VL_LOG(L"service adapter starting initiate(2).\n");
    VL_LOG(L"    szRegionVersion = [%s]\n", regionValue.c_str());
    VL_LOG(L"    szNewerVersion = [%s]\n", newerVersion.c_str());
    VL_LOG(L"    szChksum = [%s]\n", checksum.c_str());
    VL_LOG(L"    dwTimeout = [%d]\n", static_cast<int>(timeout));
    VL_LOG(L"    szClientSite = [%s]\n", clientSite.c_str());
    m_szClientSite = clientSite;
    StoreRegion(regionValue);
    return RunInitialization(newerVersion, result);
}

std::optional<bool> ServiceCore::IsKernelUpdateNeeded(const std::wstring& newerVersion)
{
    const std::wstring installed = m_Utility.GetKernelVersion();
    // The version read has looked for the documents folder once more.
    if (m_Utility.GetHomeFolder().empty()) {
        VL_LOG(L"    there is no home folder.\n");
        return std::nullopt;
    }
    VL_LOG(L"    the older version is [%s]\n", installed.c_str());
    if (installed.empty()) {
        VL_LOG(L"    have to update the newer widget kernel.\n");
        return true;
    }
    VL_LOG(L"    the newer version is [%s]\n", newerVersion.c_str());
    const VersionComparison comparison = m_Utility.IsOlderVersion(installed, newerVersion);
    if (!comparison.valid()) {
        VL_LOG(L"    %s\n", comparison.error.c_str());
        return std::nullopt;
    }
    if (comparison.older) {
        VL_LOG(L"    have to update the newer widget kernel.\n");
        return true;
    }
    VL_LOG(L"    do not neet to update.\n");
    return false;
}

HRESULT ServiceCore::RunInitialization(const std::wstring& newerVersion, ULONG& result)
{
    result = VLS_FAIL;
    // Error boxes run the message queue: the page may release its container meanwhile.
    const ContainerHold hold(m_container);
    VL_LOG(L"checking widget kernel reversion.\n");
    const std::optional<bool> updateNeeded = IsKernelUpdateNeeded(newerVersion);
    // No home folder, or a required version that is not four numbers: nothing to decide on.
    if (!updateNeeded) return S_FALSE;
    if (*updateNeeded) {
        m_hKernelWnd = FindKernelWindow();
        // A running kernel is used as it is; the update waits until it has ended.
        if (!m_hKernelWnd) {
            result = StartUpdater(newerVersion);
            return S_OK;
        }
    } else if (!StartWidgetKernel()) {
        return S_FALSE;
    }
    if (!CreatePipeChannel() || !RegisterToWidgetKernel()) return S_FALSE;
    result = VLS_OK;
    return S_OK;
}

} // namespace vl
