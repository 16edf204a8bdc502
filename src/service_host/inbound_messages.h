// The messages read from the browser, handed from the reading thread to the service thread.
// The service thread waits on Ready() beside its window messages, so a service that uses
// window timers keeps running between requests. What waits is bounded (WaitingMessages).
#pragma once

#include <windows.h>

#include <mutex>
#include <optional>

#include "service_host/portable/waiting_messages.h"
#include "support/win_handles.h"

namespace vl {

class InboundMessages {
public:
    InboundMessages();

    // Whether the event could be made; without it nothing can wait.
    bool Valid() const { return m_ready.valid(); }
    // Signalled while messages wait or the input has ended.
    HANDLE Ready() const { return m_ready.get(); }

    // False, with the message left as it is, when too much waits already.
    bool Push(NativeMessage&& message);
    // The browser closed its end (or reading failed): nothing more will come.
    void Close();

    struct Next {
        std::optional<NativeMessage> message;
        bool closed = false; // nothing waits and the input has ended
    };
    // The oldest waiting message, one at a time: a message counts against the bound until
    // the service thread takes it.
    Next Take();

private:
    std::mutex m_lock;
    WaitingMessages m_waiting;
    bool m_closed = false;
    UniqueHandle m_ready; // manual reset: set while there is something to take
};

} // namespace vl
