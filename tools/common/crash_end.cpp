#include "crash_end.h"

#include <windows.h>

#include <cstdio>

namespace vl {

namespace {

// Nothing here allocates: the heap may be what failed.
LONG WINAPI EndProcess(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    char line[80];
    const int length = std::snprintf(line, sizeof line, "crashed: exception 0x%08lX at %p\n",
                                     static_cast<unsigned long>(record.ExceptionCode), record.ExceptionAddress);
    DWORD written = 0;
    if (length > 0) ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
    ::TerminateProcess(::GetCurrentProcess(), record.ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

void EndOnCrash()
{
    ::SetUnhandledExceptionFilter(EndProcess);
}

} // namespace vl
