#include "service_host/portable/waiting_messages.h"

#include <utility>

namespace vl {

bool WaitingMessages::Push(NativeMessage&& message)
{
    const std::size_t cost = Cost(message);
    if (!m_messages.empty() && m_bytes + cost > kMaxWaitingBytes) return false;
    m_messages.push_back(std::move(message));
    m_bytes += cost;
    return true;
}

std::optional<NativeMessage> WaitingMessages::Take()
{
    if (m_messages.empty()) return std::nullopt;
    NativeMessage message = std::move(m_messages.front());
    m_messages.pop_front();
    m_bytes -= Cost(message);
    return message;
}

} // namespace vl
