// The platform calls through which the control reads the clock, starts programs, checks
// a file's digest, asks whether it runs elevated and which ANSI code page the system has.
// Production uses the real calls; tests put their own in place to choose a pipe number, to
// watch which program is started how, to run as a process that is not elevated (Wine runs
// every process elevated), to take a step of the publisher check away, or to convert texts
// as a system of another language does.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <wintrust.h>

#include <optional>
#include <string>

namespace vl {

// A flag of this process's token that the system answers in a DWORD (TokenElevation,
// TokenVirtualizationEnabled); nothing when the token cannot be asked.
std::optional<DWORD> ProcessTokenFlag(TOKEN_INFORMATION_CLASS flag);

// Whether this process runs with the administrator's full rights (an elevated token).
bool IsProcessElevated();

struct AdapterPlatform {
    DWORD(WINAPI* getTickCount)() = ::GetTickCount;
    BOOL(WINAPI* shellExecuteEx)(SHELLEXECUTEINFOW*) = ::ShellExecuteExW;
    BOOL(WINAPI* createProcess)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                                LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION) = ::CreateProcessW;
    LONG(WINAPI* winVerifyTrust)(HWND, GUID*, LPVOID) = ::WinVerifyTrust;
    bool (*isProcessElevated)() = IsProcessElevated;
    UINT(WINAPI* getACP)() = ::GetACP;
};

AdapterPlatform& Platform();

// Starts the program at the full path `path`, named as itself on its command line in
// quotes (a blank cannot split it), with `parameters`, in `directory`, in window state
// `showCommand`; not waited for. False, with a log line, when the start failed.
//
// StartElevatedProgram goes through the shell's "runas" verb as the machine's class of
// programs defines it (HKLM\Software\Classes\exefile): the user's classes, which any program
// of the user can write, cannot put another command in its place.
bool StartElevatedProgram(const std::wstring& path, const std::wstring& parameters, const std::wstring& directory,
                          int showCommand);
// StartProgram is for a program that was checked: it asks the shell only where elevation
// must be asked for (`elevated` from a process that is not elevated); otherwise it starts
// the very file named with CreateProcessW, from an elevated process elevated as well.
bool StartProgram(bool elevated, const std::wstring& path, const std::wstring& parameters,
                  const std::wstring& directory, int showCommand);

} // namespace vl
