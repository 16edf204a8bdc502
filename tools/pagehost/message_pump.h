// The page's message loop, run while the script waits: window messages, timers and with
// them the control's events keep running.
#pragma once

#include <windows.h>

#include <functional>

namespace vl::pagehost {

struct PumpHooks {
    // Offered each message first; true when it took the message.
    std::function<bool(MSG&)> translate;
    // Ends the wait early when it holds.
    std::function<bool()> stop;
};

// Runs the thread's messages for `ms` milliseconds (the pending ones at least once).
void PumpMessages(DWORD ms, const PumpHooks& hooks = {});

} // namespace vl::pagehost
