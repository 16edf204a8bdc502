#include "kernel_behaviour.h"

#include <charconv>
#include <string>

namespace vl {

namespace {

std::optional<std::uint32_t> ParseNumber(std::wstring_view text)
{
    const std::string narrow(text.begin(), text.end());
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
    if (narrow.empty() || error != std::errc() || end != narrow.data() + narrow.size()) return std::nullopt;
    return value;
}

bool ApplyWord(std::wstring_view word, KernelBehaviour& behaviour)
{
    const auto colon = word.find(L':');
    const std::wstring_view name = word.substr(0, colon);
    if (colon == std::wstring_view::npos) {
        if (name == L"second_copy") behaviour.answerSecondCopyOnly = true;
        else if (name == L"never_answer") behaviour.neverAnswer = true;
        else if (name == L"no_first_message") behaviour.firstMessage = false;
        else if (name == L"stay_after_leave") behaviour.stayAfterLeave = true;
        else if (name == L"deaf") behaviour.deaf = true;
        else return false;
        return true;
    }
    const auto number = ParseNumber(word.substr(colon + 1));
    if (!number) return false;
    if (name == L"late") behaviour.answerDelayMs = *number;
    else if (name == L"burst") behaviour.burstCount = static_cast<int>(*number);
    else if (name == L"close_after") behaviour.closeAfterMs = *number;
    else if (name == L"window_delay") behaviour.windowDelayMs = *number;
    else if (name == L"hostile") behaviour.floodCount = static_cast<int>(*number);
    else return false;
    return true;
}

} // namespace

std::optional<KernelBehaviour> ParseKernelBehaviour(std::wstring_view text)
{
    KernelBehaviour behaviour;
    while (!text.empty()) {
        const auto comma = text.find(L',');
        const std::wstring_view word = text.substr(0, comma);
        if (!word.empty() && !ApplyWord(word, behaviour)) return std::nullopt;
        text = comma == std::wstring_view::npos ? std::wstring_view() : text.substr(comma + 1);
    }
    return behaviour;
}

} // namespace vl
