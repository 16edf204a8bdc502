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
    m_regionValue = regionValue;
    m_utility.SetRegionValue(regionValue);
    // A fresh update attempt starts from "Status=Waiting".
    CreateProductKey();
    DeleteProductValue(L"Progress");
}

std::optional<PageAnswer> ServiceCore::InitializationRefusal(const std::wstring& regionValue,
                                                             const std::wstring& newerVersion, PositionedTexts more)
{
    if (auto fault = UncarriedText({{0, &regionValue}, {1, &newerVersion}})) return NumberAnswer(VLS_FAIL, true, fault);
    if (auto fault = UncarriedText(more)) return NumberAnswer(VLS_FAIL, true, fault);
    // The region and the version end up on the command lines of programs started elevated.
    // The stored updater version is judged where the updater is chosen.
    if (!IsAcceptedRegionValue(regionValue) || !IsAcceptedVersionText(newerVersion)) return NumberAnswer(VLS_FAIL, true);
    return std::nullopt;
}

PageAnswer ServiceCore::Initialize(const std::wstring& regionValue, const std::wstring& newerVersion)
{
    if (auto refusal = InitializationRefusal(regionValue, newerVersion)) return *refusal;
    m_clientSite = m_container.PageAddress();
    VL_LOG(L"service adapter starting initiate.\n");
    StoreRegion(regionValue);
    return RunInitialization(newerVersion);
}

PageAnswer ServiceCore::Initialize2(const std::wstring& regionValue, const std::wstring& newerVersion,
                                    const std::wstring& checksum, ULONG timeout, const std::wstring& clientSite)
{
    if (auto refusal = InitializationRefusal(regionValue, newerVersion, {{2, &checksum}, {4, &clientSite}}))
        return *refusal;
    VL_LOG(L"service adapter starting initiate(2).\n");
    VL_LOG(L"    szRegionVersion = [%s]\n", regionValue.c_str());
    VL_LOG(L"    szNewerVersion = [%s]\n", newerVersion.c_str());
    VL_LOG(L"    szChksum = [%s]\n", checksum.c_str());
    VL_LOG(L"    dwTimeout = [%d]\n", static_cast<int>(timeout));
    VL_LOG(L"    szClientSite = [%s]\n", clientSite.c_str());
    m_clientSite = clientSite;
    StoreRegion(regionValue);
    return RunInitialization(newerVersion);
}

std::optional<bool> ServiceCore::IsKernelUpdateNeeded(const std::wstring& newerVersion)
{
    const std::wstring installed = m_utility.GetKernelVersion();
    // The version read has looked for the documents folder once more.
    if (m_utility.GetHomeFolder().empty()) {
        VL_LOG(L"    there is no home folder.\n");
        return std::nullopt;
    }
    VL_LOG(L"    the older version is [%s]\n", installed.c_str());
    if (installed.empty()) {
        VL_LOG(L"    have to update the newer widget kernel.\n");
        return true;
    }
    VL_LOG(L"    the newer version is [%s]\n", newerVersion.c_str());
    const VersionComparison comparison = m_utility.IsOlderVersion(installed, newerVersion);
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

PageAnswer ServiceCore::RunInitialization(const std::wstring& newerVersion)
{
    const PageAnswer failed = NumberAnswer(VLS_FAIL, true);
    // Error boxes run the message queue: the page may release its container meanwhile.
    const ContainerHold hold(m_container);
    VL_LOG(L"checking widget kernel reversion.\n");
    const std::optional<bool> updateNeeded = IsKernelUpdateNeeded(newerVersion);
    // No home folder, or a required version that is not four numbers: nothing to decide on.
    if (!updateNeeded) return failed;
    if (*updateNeeded) {
        m_kernelWindow = FindKernelWindow();
        // A running kernel is used as it is; the update waits until it has ended.
        if (!m_kernelWindow) return NumberAnswer(StartUpdater(newerVersion));
    } else if (!StartWidgetKernel()) {
        return failed;
    }
    if (!CreatePipeChannel() || !RegisterToWidgetKernel()) return failed;
    return NumberAnswer(VLS_OK);
}

} // namespace vl
