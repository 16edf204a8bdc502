// A thread that nobody waits for: the page's thread may leave it running. It holds a
// reference to the module whose code it runs, so the host cannot unload the module under
// it, and lets go of it only as it ends.
#pragma once

#include <functional>

namespace vl {

// Runs `work` on a new thread. False, with the thread's last error set, when no thread
// could be started. An exception that `work` lets out ends only the work.
bool StartDetachedThread(std::function<void()> work);

} // namespace vl
