// The browser's messages that wait for the service thread. While a request blocks (an
// updater download may take minutes) a page can go on sending: the queue is bounded by the
// bytes it holds, never by a count, and a message beyond the bound is answered "busy".
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string_view>

#include "service_host/portable/native_message_frame.h"

namespace vl {

inline constexpr std::size_t kMaxWaitingBytes = 4 * 1024 * 1024;
// The answer to a message that found the queue full; the page may send it again later.
inline constexpr std::string_view kBusy = "busy";

class WaitingMessages {
public:
    // Queues the message, unless it would take the queue above kMaxWaitingBytes: then it
    // is left as it is and the result is false. An empty queue takes any message.
    bool Push(NativeMessage&& message);
    // The oldest message; nothing when none waits.
    std::optional<NativeMessage> Take();
    bool Empty() const { return m_messages.empty(); }

    // What a message counts for: its text and its place in the queue, so that a flood of
    // empty messages is bounded too.
    static std::size_t Cost(const NativeMessage& message) { return message.text.size() + sizeof(NativeMessage); }

private:
    std::deque<NativeMessage> m_messages;
    std::size_t m_bytes = 0;
};

} // namespace vl
