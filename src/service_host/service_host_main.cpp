// VLServiceHost.exe: the native-messaging host that the browser starts for each page
// connection of the vorlink! extension. It speaks the browser's framed JSON on standard
// input and output (binary: the handles are used directly, never through text-mode
// streams) and ends when the browser closes the port. The page it serves gets the
// control's service core (PageService), linked to the widget kernel as the control links.
#include <windows.h>
#include <ole2.h>

#include "service_host/page_service.h"
#include "service_host/service_host_loop.h"

int wmain()
{
    // The shell starts the kernel and the updater from this thread, as from the control's.
    if (FAILED(::OleInitialize(nullptr))) return 1;
    const int exitCode = vl::RunServiceHost(::GetStdHandle(STD_INPUT_HANDLE), ::GetStdHandle(STD_OUTPUT_HANDLE),
                                            vl::PageService::Create);
    ::OleUninitialize();
    return exitCode;
}
