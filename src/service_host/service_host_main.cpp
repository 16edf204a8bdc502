// VLServiceHost.exe: the native-messaging host that the browser starts for each page
// connection of the vorlink! extension. It speaks the browser's framed JSON on standard
// input and output (binary: the handles are used directly, never through text-mode
// streams) and ends when the browser closes the port.
#include <windows.h>

#include "service_host/service_host_loop.h"

int wmain()
{
    // Until the adapter's service core is built into the host, pages get the host's own
    // answers: the contract's checks, the site lock, and "not available" for each method.
    return vl::RunServiceHost(::GetStdHandle(STD_INPUT_HANDLE), ::GetStdHandle(STD_OUTPUT_HANDLE), nullptr);
}
