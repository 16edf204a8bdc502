// The page's first calls: record the region, compare the installed kernel's version with
// the required one, then hand over to the updater or start the kernel and link to it.
#include "adapter/VLServiceAdapterImpl.h"
#include "adapter/portable/command_line_text.h"
#include "support/product_registry.h"
#include "support/widget_log.h"

void TVLServiceAdapterXImpl::StoreRegion(const std::wstring& regionValue)
{
    m_szRegionVer = regionValue;
    m_pUtility->SetRegionValue(regionValue);
    // A fresh update attempt starts from "Status=Waiting".
    vl::CreateProductKey();
    vl::DeleteProductValue(L"Progress");
}

bool TVLServiceAdapterXImpl::AreArgumentsAccepted(BSTR szRegionVer, BSTR szNewerVersion) const
{
    // The region and the version end up on the command lines of programs started elevated.
    // The stored updater version is judged where the updater is chosen.
    return szRegionVer && szNewerVersion && vl::IsAcceptedRegionValue(vl::BstrText(szRegionVer)) &&
           vl::IsAcceptedVersionText(vl::BstrText(szNewerVersion));
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::Initialize(BSTR szRegionVer, BSTR szNewerVersion, BSTR,
                                                             ULONG, ULONG* dwResult)
{
    return PageMethod(dwResult, [&] {
        if (!AreArgumentsAccepted(szRegionVer, szNewerVersion)) {
            *dwResult = VLS_FAIL;
            return S_FALSE;
        }
        m_szClientSite = ReadPageAddress();
        VL_LOG(L"service adapter starting initiate.\n");
        StoreRegion(vl::BstrText(szRegionVer));
        return RunInitialization(vl::BstrText(szNewerVersion), dwResult);
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::Initialize2(BSTR szRegionVersion, BSTR szNewerVersion,
                                                              BSTR szChksum, ULONG dwTimeout, BSTR szClientSite,
                                                              ULONG* dwResult)
{
    return PageMethod(dwResult, [&] {
        if (!AreArgumentsAccepted(szRegionVersion, szNewerVersion)) {
            *dwResult = VLS_FAIL;
            return S_FALSE;
        }
        VL_LOG(L"service adapter starting initiate(2).\n");
        VL_LOG(L"    szRegionVersion = [%s]\n", vl::BstrText(szRegionVersion).c_str());
        VL_LOG(L"    szNewerVersion = [%s]\n", vl::BstrText(szNewerVersion).c_str());
        VL_LOG(L"    szChksum = [%s]\n", vl::BstrText(szChksum).c_str());
        VL_LOG(L"    dwTimeout = [%d]\n", static_cast<int>(dwTimeout));
        VL_LOG(L"    szClientSite = [%s]\n", vl::BstrText(szClientSite).c_str());
        m_szClientSite = vl::BstrText(szClientSite);
        StoreRegion(vl::BstrText(szRegionVersion));
        return RunInitialization(vl::BstrText(szNewerVersion), dwResult);
    });
}

std::optional<bool> TVLServiceAdapterXImpl::IsKernelUpdateNeeded(const std::wstring& newerVersion)
{
    const std::wstring installed = m_pUtility->GetKernelVersion();
    // The version read has looked for the documents folder once more.
    if (m_pUtility->GetHomeFolder().empty()) {
        VL_LOG(L"    there is no home folder.\n");
        return std::nullopt;
    }
    VL_LOG(L"    the older version is [%s]\n", installed.c_str());
    if (installed.empty()) {
        VL_LOG(L"    have to update the newer widget kernel.\n");
        return true;
    }
    VL_LOG(L"    the newer version is [%s]\n", newerVersion.c_str());
    const vl::VersionComparison comparison = m_pUtility->IsOlderVersion(installed, newerVersion);
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

HRESULT TVLServiceAdapterXImpl::RunInitialization(const std::wstring& newerVersion, ULONG* dwResult)
{
    *dwResult = VLS_FAIL;
    // Error boxes run the message queue: the page may release the control meanwhile.
    const auto keepAlive = KeepAlive();
    VL_LOG(L"checking widget kernel reversion.\n");
    const std::optional<bool> updateNeeded = IsKernelUpdateNeeded(newerVersion);
    // No home folder, or a required version that is not four numbers: nothing to decide on.
    if (!updateNeeded) return S_FALSE;
    if (*updateNeeded) {
        m_hKernelWnd = FindKernelWindow();
        // A running kernel is used as it is; the update waits until it has ended.
        if (!m_hKernelWnd) {
            *dwResult = StartUpdater(newerVersion);
            return S_OK;
        }
    } else if (!StartWidgetKernel()) {
        return S_FALSE;
    }
    if (!CreatePipeChannel() || !RegisterToWidgetKernel()) return S_FALSE;
    *dwResult = VLS_OK;
    return S_OK;
}
