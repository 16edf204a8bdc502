#include "kernel_link/portable/message_text.h"

#include <cstdio>

#include "support/portable/ascii.h"

namespace vl {

namespace {
constexpr std::wstring_view kParamsKey = L"Params=";
} // namespace

std::optional<std::string> FormatKernelMessage(std::int32_t cmdId, std::int32_t serialNum,
                                               std::string_view ansiParams)
{
    char head[64];
    const int headLength = std::snprintf(head, sizeof head, "CmdID=%d&&&&SerialNum=%d&&&&Params=",
                                         static_cast<int>(cmdId), static_cast<int>(serialNum));
    if (headLength < 0 || ansiParams.find('\0') != std::string_view::npos) return std::nullopt;
    if (static_cast<std::size_t>(headLength) + ansiParams.size() > kMaxMessageTextBytes) return std::nullopt;
    std::string text(head, static_cast<std::size_t>(headLength));
    text.append(ansiParams);
    return text;
}

std::int32_t ParseLeadingInteger(std::wstring_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    std::uint32_t value = 0;
    for (; i < text.size() && IsAsciiDigit(text[i]); ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - L'0');
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

std::optional<KernelMessage> ParseKernelMessage(std::wstring_view message)
{
    const std::wstring_view cmdText = FindKeyValue(message, L"CmdID");
    const std::wstring_view serialText = FindKeyValue(message, L"SerialNum");
    if (cmdText.empty() || serialText.empty()) return std::nullopt;
    KernelMessage parsed;
    parsed.cmdId = ParseLeadingInteger(cmdText);
    parsed.serialNum = ParseLeadingInteger(serialText);
    const auto at = message.find(kParamsKey);
    if (at != std::wstring_view::npos) parsed.params = message.substr(at + kParamsKey.size());
    return parsed;
}

void MessageFramer::Append(const char* data, std::size_t size)
{
    // What the messages taken so far used is dropped once per read, not once per message:
    // a read full of short messages would otherwise be moved once for each of them.
    m_pending.erase(0, m_start);
    m_start = 0;
    m_pending.append(data, size);
}

std::optional<std::string> MessageFramer::Next()
{
    const auto nul = m_pending.find('\0', m_start);
    if (nul == std::string::npos) {
        if (m_pending.size() - m_start < kPipeBufferSize) return std::nullopt;
        std::string message = m_pending.substr(m_start, kPipeBufferSize);
        m_start += kPipeBufferSize;
        return message;
    }
    std::string message = m_pending.substr(m_start, nul - m_start);
    m_start = nul + 1;
    return message;
}

} // namespace vl
