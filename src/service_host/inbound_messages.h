// The messages read from the browser, handed from the reading thread to the service thread.
// The service thread waits on Ready() beside its window messages, so a service that uses
// window timers keeps running between requests.
#pragma once

#include <windows.h>

#include <mutex>
#include <vector>

#include "service_host/portable/native_message_frame.h"
#include "support/win_handles.h"

namespace vl {

class InboundMessages {
public:
    InboundMessages();

    // Whether the event could be made; without it nothing can wait.
    bool Valid() const { return m_ready.valid(); }
    // Signalled while messages wait or the input has ended.
    HANDLE Ready() const { return m_ready.get(); }

    void Push(NativeMessage message);
    // The browser closed its end (or reading failed): nothing more will come.
    void Close();

    struct Batch {
        std::vector<NativeMessage> messages;
        bool closed = false; // after these messages, the input has ended
    };
    Batch TakeAll();

private:
    std::mutex m_lock;
    std::vector<NativeMessage> m_waiting;
    bool m_closed = false;
    UniqueHandle m_ready; // manual reset: set while there is something to take
};

} // namespace vl
