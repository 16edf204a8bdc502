// What a linked page asks of the kernel: save, load and clear values, check its region,
// send commands; and the updater's progress, answered without the kernel.
#include "adapter/VLServiceAdapterImpl.h"
#include "kernel_link/portable/kernel_commands.h"
#include "support/product_registry.h"
#include "support/widget_log.h"

namespace {

constexpr const wchar_t* kFailureText = L"Failure";

std::wstring KeyParams(BSTR szKey)
{
    return L"Key=" + vl::BstrText(szKey);
}

} // namespace

std::optional<vl::ExchangeResult> TVLServiceAdapterXImpl::RunRequest(int cmdId, const std::wstring& params,
                                                                     const wchar_t* logText)
{
    if (!IsKernelLinked()) return std::nullopt;
    // The page may release the control while the exchange lets messages run.
    const auto keepAlive = KeepAlive();
    VL_LOG(logText);
    return ExchangeRequest(cmdId, params);
}

std::wstring TVLServiceAdapterXImpl::RetData(const vl::ExchangeResult& answered)
{
    return m_pUtility->GetKeyValue(answered.answer, L"RetData=");
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::SaveData(BSTR szKey, BSTR szValue, ULONG* szResult)
{
    return PageMethod(szResult, [&] {
        const auto request = RunRequest(vl::kernel_command::kSaveData,
                                        KeyParams(szKey) + L"&&&&Value=" + vl::BstrText(szValue),
                                        L"issue SaveData request\n");
        const bool answered = request && request->outcome == vl::ExchangeOutcome::Answered;
        *szResult = answered ? VLS_OK : VLS_FAIL;
        // A link that is down is a plain failure; a request that was refused or not answered is not.
        return !request || answered ? S_OK : S_FALSE;
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::LoadData(BSTR szKey, BSTR* szValue)
{
    return PageMethod(szValue, [&] {
        const std::wstring key = vl::BstrText(szKey);
        std::wstring value = kFailureText;
        HRESULT hr = S_OK;
        if (key == L"UpdateStatus") {
            vl::CreateProductKey();
            value = vl::ReadProductString(L"Progress");
            if (value.empty()) value = L"Status=Waiting";
        } else if (const auto request =
                       RunRequest(vl::kernel_command::kLoadData, KeyParams(szKey), L"issue LoadData request\n")) {
            if (request->outcome == vl::ExchangeOutcome::Answered) value = RetData(*request);
            else hr = S_FALSE;
        }
        *szValue = vl::UniqueBstr(value).release();
        return *szValue ? hr : E_OUTOFMEMORY;
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::ClearData(BSTR szKey, ULONG* dwResult)
{
    return PageMethod(dwResult, [&] {
        const auto request =
            RunRequest(vl::kernel_command::kClearData, KeyParams(szKey), L"issue ClearData request\n");
        *dwResult = request && request->outcome == vl::ExchangeOutcome::Answered ? VLS_OK : VLS_FAIL;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::CheckRegionInfo(ULONG* dwResult)
{
    return PageMethod(dwResult, [&] {
        const auto request = RunRequest(vl::kernel_command::kCheckRegion, L"Region=" + m_szRegionVer,
                                        L"issue CheckRegionInfo request\n");
        if (!request || request->outcome != vl::ExchangeOutcome::Answered) *dwResult = VLS_FAIL;
        else *dwResult = RetData(*request) == L"TRUE" ? VLS_OK : VLS_REGION_FAIL;
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
        // Only a command that would not be one message is refused; other write failures
        // show up as no answer.
        if (m_Link.Send(static_cast<int>(dwCmd), static_cast<int>(dwSerialNum), vl::BstrText(szParams)) ==
            vl::kNotOneMessage)
            return S_OK;
        VL_LOG(L"    succeeded.\n");
        *dwResult = VLS_OK;
        return S_OK;
    });
}
