// The reading thread of the service host: reads the browser's messages from standard input
// until the browser closes it, so that the service thread never blocks on the pipe.
#pragma once

#include <windows.h>

#include <memory>

#include "service_host/inbound_messages.h"

namespace vl {

// Starts the thread. It pushes every message into `inbound` and closes it at the end of the
// input or on a read failure. The thread is detached: it may still wait in a read when the
// host ends, and the process's end stops it.
bool StartStandardInputReader(HANDLE input, std::shared_ptr<InboundMessages> inbound);

} // namespace vl
