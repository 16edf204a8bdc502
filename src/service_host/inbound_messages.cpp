#include "service_host/inbound_messages.h"

#include <utility>

namespace vl {

InboundMessages::InboundMessages() : m_ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

bool InboundMessages::Push(NativeMessage&& message)
{
    const std::lock_guard<std::mutex> hold(m_lock);
    if (!m_waiting.Push(std::move(message))) return false;
    ::SetEvent(m_ready.get());
    return true;
}

void InboundMessages::Close()
{
    const std::lock_guard<std::mutex> hold(m_lock);
    m_closed = true;
    ::SetEvent(m_ready.get());
}

InboundMessages::Next InboundMessages::Take()
{
    const std::lock_guard<std::mutex> hold(m_lock);
    Next next{m_waiting.Take(), false};
    next.closed = !next.message && m_closed;
    if (m_waiting.Empty() && !m_closed) ::ResetEvent(m_ready.get());
    return next;
}

} // namespace vl
