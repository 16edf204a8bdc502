// The reading thread of the service host: reads the browser's messages from standard input
// until the browser closes it, so that the service thread never blocks on the pipe.
#pragma once

#include <windows.h>

#include <memory>

#include "service_host/inbound_messages.h"
#include "service_host/standard_output_writer.h"

namespace vl {

// Starts the thread. It pushes every message into `inbound` and closes it at the end of the
// input or on a read failure; a message that finds too much waiting is answered "busy" on
// `output` at once, under its id when its start gives it. The thread is detached: it may
// still wait in a read when the host ends, and the process's end stops it.
bool StartStandardInputReader(HANDLE input, std::shared_ptr<InboundMessages> inbound,
                              std::shared_ptr<StandardOutputWriter> output);

} // namespace vl
