#include "service_host/inbound_messages.h"

#include <utility>

namespace vl {

InboundMessages::InboundMessages() : m_ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void InboundMessages::Push(NativeMessage message)
{
    const std::lock_guard<std::mutex> hold(m_lock);
    m_waiting.push_back(std::move(message));
    ::SetEvent(m_ready.get());
}

void InboundMessages::Close()
{
    const std::lock_guard<std::mutex> hold(m_lock);
    m_closed = true;
    ::SetEvent(m_ready.get());
}

InboundMessages::Batch InboundMessages::TakeAll()
{
    const std::lock_guard<std::mutex> hold(m_lock);
    Batch batch{std::move(m_waiting), m_closed};
    m_waiting.clear();
    ::ResetEvent(m_ready.get());
    return batch;
}

} // namespace vl
