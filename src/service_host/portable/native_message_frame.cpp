#include "service_host/portable/native_message_frame.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vl {

namespace {
constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);
}

std::optional<std::string> FrameNativeMessage(std::string_view json)
{
    if (json.size() > kMaxMessageToBrowser) return std::nullopt;
    const auto length = static_cast<std::uint32_t>(json.size());
    std::string framed(kLengthBytes, '\0');
    std::memcpy(framed.data(), &length, kLengthBytes);
    framed += json;
    return framed;
}

void NativeMessageReader::Append(const char* data, std::size_t size)
{
    m_input.append(data, size);
}

std::optional<NativeMessage> NativeMessageReader::Next()
{
    for (;;) {
        const std::size_t available = m_input.size() - m_inputStart;
        if (!m_inMessage) {
            if (available < kLengthBytes) break;
            m_current = NativeMessage{};
            std::memcpy(&m_current.length, m_input.data() + m_inputStart, kLengthBytes);
            m_inputStart += kLengthBytes;
            m_current.oversized = m_current.length > kMaxMessageFromBrowser;
            m_remaining = m_current.length;
            m_inMessage = true;
            continue;
        }
        const std::size_t taken = std::min<std::size_t>(available, m_remaining);
        const std::size_t kept =
            m_current.oversized ? std::min(taken, kOversizedPrefixBytes - m_current.text.size()) : taken;
        m_current.text.append(m_input, m_inputStart, kept);
        m_inputStart += taken;
        m_remaining -= static_cast<std::uint32_t>(taken);
        if (m_remaining == 0) {
            m_inMessage = false;
            return std::move(m_current);
        }
        break; // all that has arrived is taken
    }
    // Only a length's first bytes are left: dropping the rest copies at most three bytes.
    m_input.erase(0, m_inputStart);
    m_inputStart = 0;
    return std::nullopt;
}

} // namespace vl
