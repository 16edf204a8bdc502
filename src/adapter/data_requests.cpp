// What a linked page asks of the kernel: save, load and clear values, check its region,
// send commands; and the updater's progress, answered without the kernel.
#include "adapter/VLServiceAdapterImpl.h"
#include "adapter/automation_guard.h"
#include "support/ansi_text.h"
#include "support/product_registry.h"
#include "support/widget_log.h"

namespace {

constexpr int kSaveData = 162;
constexpr int kLoadData = 163;
constexpr int kClearData = 164;
constexpr int kCheckRegion = 165;
constexpr const wchar_t* kFailureText = L"Failure";

std::wstring KeyParams(BSTR szKey)
{
    return L"Key=" + vl::BstrText(szKey);
}

} // namespace

TVLServiceAdapterXImpl::RequestOutcome TVLServiceAdapterXImpl::RunRequest(int cmdId, const std::wstring& params,
                                                                          const wchar_t* logText,
                                                                          std::wstring& retData)
{
    if (!IsKernelLinked()) return RequestOutcome::LinkDown;
    // The page may release the control while the exchange lets messages run.
    const auto keepAlive = KeepAlive();
    VL_LOG(logText);
    // A request that does not fit in one message is refused before anything is written.
    if (!vl::FormatKernelMessage(cmdId, 0, vl::WideToAnsi(params))) return RequestOutcome::Refused;
    const auto answer = ExchangeRequest(cmdId, params);
    if (!answer) return RequestOutcome::Unanswered;
    retData = m_pUtility->GetKeyValue(*answer, L"RetData=");
    return RequestOutcome::Answered;
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::SaveData(BSTR szKey, BSTR szValue, ULONG* szResult)
{
    return vl::GuardedMethod(szResult, [&] {
        std::wstring retData;
        switch (RunRequest(kSaveData, KeyParams(szKey) + L"&&&&Value=" + vl::BstrText(szValue),
                           L"issue SaveData request\n", retData)) {
        case RequestOutcome::Answered: *szResult = VLS_OK; return S_OK;
        case RequestOutcome::LinkDown: *szResult = VLS_FAIL; return S_OK;
        default: *szResult = VLS_FAIL; return S_FALSE;
        }
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::LoadData(BSTR szKey, BSTR* szValue)
{
    return vl::GuardedMethod(szValue, [&] {
        const std::wstring key = vl::BstrText(szKey);
        std::wstring value;
        HRESULT hr = S_OK;
        if (key == L"UpdateStatus") {
            vl::CreateProductKey();
            value = vl::ReadProductString(L"Progress");
            if (value.empty()) value = L"Status=Waiting";
        } else {
            switch (RunRequest(kLoadData, KeyParams(szKey), L"issue LoadData request\n", value)) {
            case RequestOutcome::Answered: break;
            case RequestOutcome::LinkDown: value = kFailureText; break;
            default: value = kFailureText; hr = S_FALSE;
            }
        }
        *szValue = vl::UniqueBstr(value).release();
        return *szValue ? hr : E_OUTOFMEMORY;
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::ClearData(BSTR szKey, ULONG* dwResult)
{
    return vl::GuardedMethod(dwResult, [&] {
        std::wstring retData;
        const auto outcome = RunRequest(kClearData, KeyParams(szKey), L"issue ClearData request\n", retData);
        *dwResult = outcome == RequestOutcome::Answered ? VLS_OK : VLS_FAIL;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::CheckRegionInfo(ULONG* dwResult)
{
    return vl::GuardedMethod(dwResult, [&] {
        std::wstring retData;
        const auto outcome =
            RunRequest(kCheckRegion, L"Region=" + m_szRegionVer, L"issue CheckRegionInfo request\n", retData);
        if (outcome != RequestOutcome::Answered) *dwResult = VLS_FAIL;
        else *dwResult = retData == L"TRUE" ? VLS_OK : VLS_REGION_FAIL;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::SendCommand(ULONG dwCmd, ULONG dwSerialNum, BSTR szParams,
                                                              ULONG* dwResult)
{
    return vl::GuardedMethod(dwResult, [&] {
        *dwResult = VLS_FAIL;
        if (!IsKernelLinked()) return S_OK;
        VL_LOG(L"issue SendCommand request\n");
        // Only a command that does not fit is refused; other write failures show up as no answer.
        if (m_Codec.WritePipeMessage(m_hWritePipe.get(), static_cast<int>(dwCmd), static_cast<int>(dwSerialNum),
                                     vl::BstrText(szParams)) == ERROR_INSUFFICIENT_BUFFER)
            return S_OK;
        VL_LOG(L"    succeeded.\n");
        *dwResult = VLS_OK;
        return S_OK;
    });
}
