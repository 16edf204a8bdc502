// VLServiceHost.exe: the native-messaging host that the browser starts for each page
// connection of the vorlink! extension. It speaks the browser's framed JSON on standard
// input and output (binary: the handles are used directly, never through text-mode
// streams) and ends when the browser closes the port. It serves only the vorlink!
// extension, as the browser names its caller in the arguments; the page it serves gets the
// control's service core (PageService), linked to the widget kernel as the control links.
#include <windows.h>
#include <ole2.h>

#include <span>
#include <string_view>

#include "extension_identity.h"
#include "service_host/page_service.h"
#include "service_host/portable/browser_caller.h"
#include "service_host/service_host_loop.h"

int wmain(int argc, wchar_t** argv)
{
    const std::span<const wchar_t* const> arguments(argv + 1, argc > 0 ? argc - 1 : 0);
    static constexpr std::wstring_view kOrigins[] = {VL_EXTENSION_ORIGINS_WTEXT};
    if (!vl::IsAllowedCaller(arguments, {kOrigins, VL_EXTENSION_GECKO_ID_WTEXT}))
        return vl::RefuseCaller(::GetStdHandle(STD_OUTPUT_HANDLE));
    // The shell starts the kernel and the updater from this thread, as from the control's.
    if (FAILED(::OleInitialize(nullptr))) return 1;
    const int exitCode = vl::RunServiceHost(::GetStdHandle(STD_INPUT_HANDLE), ::GetStdHandle(STD_OUTPUT_HANDLE),
                                            vl::PageService::Create);
    ::OleUninitialize();
    return exitCode;
}
