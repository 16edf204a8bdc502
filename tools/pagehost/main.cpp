// pagehost.exe: shows a control the way a browser page does and runs the page's script
// against it. Exit code: the script's (0 unless it called host.exit), 1 after a script
// error, 2 for a bad command line or an unreadable script, 3 when the page could not be
// set up (window, object, script engine); a crash ends it at once with the exception's
// code, as on Windows without a debugger.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "console_output.h"
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

// A crash ends the host at once: Wine would otherwise start its debugger and hold the
// test that runs the page until its time limit. Nothing here allocates: the heap may be
// what failed.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    char line[96];
    const int length = std::snprintf(line, sizeof line, "pagehost: crashed, exception 0x%08lX at %p\n",
                                     static_cast<unsigned long>(record.ExceptionCode), record.ExceptionAddress);
    DWORD written = 0;
    if (length > 0) ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
    ::TerminateProcess(::GetCurrentProcess(), record.ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

int main()
{
    ::SetUnhandledExceptionFilter(EndOnCrash);
    try {
        return RunPage();
    } catch (...) {
        PrintLine(L"pagehost: unexpected failure", OutputStream::Error);
        return kExitHostFailure;
    }
}
