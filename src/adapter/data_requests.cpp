// What a linked page asks of the kernel: save, load and clear values, check its region,
// send commands; and the updater's progress, answered without the kernel.
#include "adapter/service_core.h"
#include "contract/portable/result_codes.h"
#include "kernel_link/portable/kernel_commands.h"
#include "support/ansi_text.h"
#include "support/product_registry.h"
#include "support/widget_log.h"

namespace vl {

namespace {

constexpr const wchar_t* kFailureText = L"Failure";

std::wstring KeyParams(const std::wstring& key)
{
    return L"Key=" + key;
}

} // namespace

bool ServiceCore::IsTextCarried(const std::wstring& text, std::size_t position)
{
    if (ExactAnsi(text)) return true;
    m_callFault = CallFault{CallFault::Kind::TextNotCarried, position};
    return false;
}

std::optional<ExchangeResult> ServiceCore::RunRequest(int cmdId, const std::wstring& params, const wchar_t* logText)
{
    if (!IsKernelLinked()) return std::nullopt;
    // The page may release its container while the exchange lets messages run.
    const ContainerHold hold(m_container);
    VL_LOG(logText);
    ExchangeResult result = m_Link.Exchange(cmdId, params);
    if (result.outcome == ExchangeOutcome::Lost) m_callFault = CallFault{CallFault::Kind::MessageLost};
    return result;
}

std::wstring ServiceCore::RetData(const ExchangeResult& answered)
{
    return m_Utility.GetKeyValue(answered.answer, L"RetData=");
}

HRESULT ServiceCore::SaveData(const std::wstring& key, const std::wstring& value, ULONG& result)
{
    // Text the kernel would read changed is refused as text that would not be one message is.
    if (!IsTextCarried(key, 0) || !IsTextCarried(value, 1)) {
        result = VLS_FAIL;
        return S_FALSE;
    }
    const auto request =
        RunRequest(kernel_command::kSaveData, KeyParams(key) + L"&&&&Value=" + value, L"issue SaveData request\n");
    const bool answered = request && request->outcome == ExchangeOutcome::Answered;
    result = answered ? VLS_OK : VLS_FAIL;
    // A link that is down is a plain failure; a request that was refused or not answered is not.
    return !request || answered ? S_OK : S_FALSE;
}

HRESULT ServiceCore::LoadData(const std::wstring& key, std::wstring& value)
{
    value = kFailureText;
    if (key == L"UpdateStatus") {
        CreateProductKey();
        value = ReadProductString(L"Progress");
        if (value.empty()) value = L"Status=Waiting";
        return S_OK;
    }
    if (!IsTextCarried(key, 0)) return S_FALSE;
    const auto request = RunRequest(kernel_command::kLoadData, KeyParams(key), L"issue LoadData request\n");
    if (!request) return S_OK;
    if (request->outcome != ExchangeOutcome::Answered) return S_FALSE;
    value = RetData(*request);
    return S_OK;
}

HRESULT ServiceCore::ClearData(const std::wstring& key, ULONG& result)
{
    result = VLS_FAIL;
    if (!IsTextCarried(key, 0)) return S_OK;
    const auto request = RunRequest(kernel_command::kClearData, KeyParams(key), L"issue ClearData request\n");
    result = request && request->outcome == ExchangeOutcome::Answered ? VLS_OK : VLS_FAIL;
    return S_OK;
}

HRESULT ServiceCore::CheckRegionInfo(ULONG& result)
{
    const auto request =
        RunRequest(kernel_command::kCheckRegion, L"Region=" + m_szRegionVer, L"issue CheckRegionInfo request\n");
    if (!request || request->outcome != ExchangeOutcome::Answered) result = VLS_FAIL;
    else result = RetData(*request) == L"TRUE" ? VLS_OK : VLS_REGION_FAIL;
    return S_OK;
}

HRESULT ServiceCore::SendCommand(ULONG cmd, ULONG serial, const std::wstring& params, ULONG& result)
{
    result = VLS_FAIL;
    if (!IsTextCarried(params, 2) || !IsKernelLinked()) return S_OK;
    VL_LOG(L"issue SendCommand request\n");
    const long status = m_Link.Send(static_cast<int>(cmd), static_cast<int>(serial), params);
    if (status == kNotOneMessage) return S_OK;
    // A command that did not go out whole was not sent, and the link has ended.
    if (status != 0) {
        VL_LOG(L"    write information to pipe failure.\n");
        m_callFault = CallFault{CallFault::Kind::MessageLost};
        return S_OK;
    }
    VL_LOG(L"    succeeded.\n");
    result = VLS_OK;
    return S_OK;
}

} // namespace vl
