// The service thread of VLServiceHost.exe: one page connection from the first message to
// the browser's closing of the port.
#pragma once

#include <windows.h>

#include "service_host/portable/page_service_interface.h"

namespace vl {

// Serves the messages arriving on `input` and answers on `output`, running the thread's
// window messages in between, until the browser closes either end. Exit code 0 then; 1
// when the host could not start. Never throws.
int RunServiceHost(HANDLE input, HANDLE output, PageServiceFactory factory) noexcept;

// For a host that a browser started for another extension: one answer without an id that
// says so (the extension gives it to the page as the reason) on `output`, nothing served.
// Exit code 2. Never throws.
int RefuseCaller(HANDLE output) noexcept;

} // namespace vl
