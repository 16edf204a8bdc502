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

// A request that did not go out whole was lost with the link: the call's fault. None for
// a link that was down, where no request was made.
std::optional<CallFault> LostFault(const std::optional<ExchangeResult>& request)
{
    if (!request || request->outcome != ExchangeOutcome::Lost) return std::nullopt;
    return CallFault{CallFault::Kind::MessageLost};
}

} // namespace

std::optional<CallFault> ServiceCore::UncarriedText(PositionedTexts texts)
{
    for (const auto& [position, text] : texts)
        if (!ExactAnsi(*text)) return CallFault{CallFault::Kind::TextNotCarried, position};
    return std::nullopt;
}

std::optional<ExchangeResult> ServiceCore::RunRequest(int cmdId, const std::wstring& params, const wchar_t* logText)
{
    if (!IsKernelLinked()) return std::nullopt;
    // The page may release its container while the exchange lets messages run.
    const ContainerHold hold(m_container);
    VL_LOG(logText);
    return m_link.Exchange(cmdId, params);
}

std::wstring ServiceCore::RetData(const ExchangeResult& answered)
{
    return m_utility.GetKeyValue(answered.answer, L"RetData=");
}

PageAnswer ServiceCore::SaveData(const std::wstring& key, const std::wstring& value)
{
    // Text the kernel would read changed is refused as text that would not be one message is.
    if (const auto fault = UncarriedText({{0, &key}, {1, &value}})) return NumberAnswer(VLS_FAIL, true, fault);
    const auto request =
        RunRequest(kernel_command::kSaveData, KeyParams(key) + L"&&&&Value=" + value, L"issue SaveData request\n");
    // A link that is down is a plain failure; a request that was refused or not answered is not.
    if (!request) return NumberAnswer(VLS_FAIL);
    if (request->outcome != ExchangeOutcome::Answered) return NumberAnswer(VLS_FAIL, true, LostFault(request));
    return NumberAnswer(VLS_OK);
}

PageAnswer ServiceCore::LoadData(const std::wstring& key)
{
    if (key == L"UpdateStatus") {
        CreateProductKey();
        const std::wstring progress = ReadProductString(L"Progress");
        return TextAnswer(progress.empty() ? L"Status=Waiting" : progress);
    }
    if (const auto fault = UncarriedText({{0, &key}})) return TextAnswer(kFailureText, true, fault);
    const auto request = RunRequest(kernel_command::kLoadData, KeyParams(key), L"issue LoadData request\n");
    if (!request) return TextAnswer(kFailureText);
    if (request->outcome != ExchangeOutcome::Answered) return TextAnswer(kFailureText, true, LostFault(request));
    return TextAnswer(RetData(*request));
}

PageAnswer ServiceCore::ClearData(const std::wstring& key)
{
    if (const auto fault = UncarriedText({{0, &key}})) return NumberAnswer(VLS_FAIL, false, fault);
    const auto request = RunRequest(kernel_command::kClearData, KeyParams(key), L"issue ClearData request\n");
    const bool answered = request && request->outcome == ExchangeOutcome::Answered;
    return NumberAnswer(answered ? VLS_OK : VLS_FAIL, false, LostFault(request));
}

PageAnswer ServiceCore::CheckRegionInfo()
{
    const auto request =
        RunRequest(kernel_command::kCheckRegion, L"Region=" + m_regionValue, L"issue CheckRegionInfo request\n");
    if (!request || request->outcome != ExchangeOutcome::Answered)
        return NumberAnswer(VLS_FAIL, false, LostFault(request));
    return NumberAnswer(RetData(*request) == L"TRUE" ? VLS_OK : VLS_REGION_FAIL);
}

PageAnswer ServiceCore::SendCommand(ULONG cmd, ULONG serial, const std::wstring& params)
{
    if (const auto fault = UncarriedText({{2, &params}})) return NumberAnswer(VLS_FAIL, false, fault);
    if (!IsKernelLinked()) return NumberAnswer(VLS_FAIL);
    VL_LOG(L"issue SendCommand request\n");
    const long status = m_link.Send(static_cast<int>(cmd), static_cast<int>(serial), params);
    if (status == kNotOneMessage) return NumberAnswer(VLS_FAIL);
    // A command that did not go out whole was not sent, and the link has ended.
    if (status != 0) {
        VL_LOG(L"    write information to pipe failure.\n");
        return NumberAnswer(VLS_FAIL, false, CallFault{CallFault::Kind::MessageLost});
    }
    VL_LOG(L"    succeeded.\n");
    return NumberAnswer(VLS_OK);
}

} // namespace vl
