// The platform calls through which the control reads the clock, starts programs, asks
// whether it runs elevated and which ANSI code page the system has. Production uses the
// real calls; tests put their own in place to choose a pipe number, to watch which program
// is started with which verb, to run as a process that is not elevated (Wine runs every
// process elevated), or to convert texts as a system of another language does.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace vl {

// Whether this process runs with the administrator's full rights (an elevated token).
bool IsProcessElevated();

struct AdapterPlatform {
    DWORD(WINAPI* getTickCount)() = ::GetTickCount;
    BOOL(WINAPI* shellExecuteEx)(SHELLEXECUTEINFOW*) = ::ShellExecuteExW;
    bool (*isProcessElevated)() = IsProcessElevated;
    UINT(WINAPI* getACP)() = ::GetACP;
};

AdapterPlatform& Platform();

// Starts a program through the shell: verb (empty for the default one), the program's
// full path (handed over quoted), parameters, working directory and window state; no
// other flags. Like every start of the control, the outcome is not examined.
void StartProgram(const std::wstring& verb, const std::wstring& path, const std::wstring& parameters,
                  const std::wstring& directory, int showCommand);

} // namespace vl
