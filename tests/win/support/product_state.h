// The machine state the control shares with the kernel and the updater, put back to a
// known start for tests: no kernel running, no product registry key, an empty home folder.
#pragma once

#include <windows.h>

#include <string>

namespace vl::test {

// "<Documents>\My Vorlink" as the control computes it.
std::wstring HomeFolder();

// Ends every running window of class "TMainForm" (the kernels), deletes
// HKCU\SOFTWARE\Torvane\vorlink!, the machine's "envver" and everything in the home folder.
void ResetProductState();

// Development mode for controls created from now on: "envver" = "Develop" under both
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER\SOFTWARE\Torvane\vorlink!.
bool EnterDevelopmentMode();

// Ends the other processes owning top-level windows of class "TMainForm"; true when none
// is left.
bool EndRunningKernels();

// Copies a file of the build tree into the home folder under `name`.
bool InstallIntoHome(const std::wstring& buildRelative, const std::wstring& name);

// Runs the thread's message queue for `ms` milliseconds (timers, events, windows).
void PumpMessages(DWORD ms);

// Pumps until `done()` holds or `ms` milliseconds passed; the last value of done().
template <typename Done>
bool PumpUntil(Done done, DWORD ms)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start >= ms) return done();
        PumpMessages(10);
    }
    return true;
}

} // namespace vl::test
