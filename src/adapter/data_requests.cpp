// What a linked page asks of the kernel: save, load and clear values, check its region,
// send commands; and the updater's progress, answered without the kernel.
#include "adapter/VLServiceAdapterImpl.h"
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

// A NUL would end the message early and let the rest pass as a message of its own.
bool HasNul(const std::wstring& text)
{
    return text.find(L'\0') != std::wstring::npos;
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
    // A request that does not fit in one message, or would make two, is refused before
    // anything is written, and so is one that would wait inside too many other waiting requests.
    if (HasNul(params) || !vl::FormatKernelMessage(cmdId, 0, vl::WideToAnsi(params)) || !m_Link.MayExchange())
        return RequestOutcome::Refused;
    const auto answer = ExchangeRequest(cmdId, params);
    if (!answer) return RequestOutcome::Unanswered;
    retData = m_pUtility->GetKeyValue(*answer, L"RetData=");
    return RequestOutcome::Answered;
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::SaveData(BSTR szKey, BSTR szValue, ULONG* szResult)
{
    return PageMethod(szResult, [&] {
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
    return PageMethod(szValue, [&] {
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
    return PageMethod(dwResult, [&] {
        std::wstring retData;
        const auto outcome = RunRequest(kClearData, KeyParams(szKey), L"issue ClearData request\n", retData);
        *dwResult = outcome == RequestOutcome::Answered ? VLS_OK : VLS_FAIL;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::CheckRegionInfo(ULONG* dwResult)
{
    return PageMethod(dwResult, [&] {
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
    return PageMethod(dwResult, [&] {
        *dwResult = VLS_FAIL;
        if (!IsKernelLinked()) return S_OK;
        VL_LOG(L"issue SendCommand request\n");
        // Only a command that does not fit in one message, or would make two, is refused;
        // other write failures show up as no answer.
        const std::wstring params = vl::BstrText(szParams);
        if (HasNul(params) ||
            m_Link.Send(static_cast<int>(dwCmd), static_cast<int>(dwSerialNum), params) == ERROR_INSUFFICIENT_BUFFER)
            return S_OK;
        VL_LOG(L"    succeeded.\n");
        *dwResult = VLS_OK;
        return S_OK;
    });
}
