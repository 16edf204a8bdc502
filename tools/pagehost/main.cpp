// pagehost.exe: shows a control the way a browser page does and runs the page's script
// against it. Exit code: the script's (0 unless it called host.exit), 1 after a script
// error, 2 for a bad command line or an unreadable script, 3 when the page could not be
// set up (window, object, script engine); a crash ends it at once with the exception's
// code, as on Windows without a debugger.
#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "console_output.h"
#include "crash_end.h"
#include "page.h"
#include "script_file.h"

namespace {

using namespace vl::pagehost;

int RunPage()
{
    const std::optional<PageOptions> options = ParsePageOptions(vl::CommandArguments(::GetCommandLineW()));
    if (!options) {
        PrintLine(kPageUsage, OutputStream::Error);
        return kExitUsage;
    }
    const std::optional<std::wstring> code = ReadScriptFile(options->script);
    if (!code) {
        PrintLine(L"pagehost: cannot read the script " + options->script, OutputStream::Error);
        return kExitUsage;
    }
    if (FAILED(::OleInitialize(nullptr))) {
        PrintLine(L"pagehost: OLE could not be initialized", OutputStream::Error);
        return kExitHostFailure;
    }
    int exitCode = kExitHostFailure;
    {
        Page page(*options);
        if (page.Open()) exitCode = page.Run(*code);
    }
    ::OleUninitialize();
    return exitCode;
}

} // namespace

int main()
{
    vl::EndOnCrash();
    try {
        return RunPage();
    } catch (...) {
        PrintLine(L"pagehost: unexpected failure", OutputStream::Error);
        return kExitHostFailure;
    }
}
