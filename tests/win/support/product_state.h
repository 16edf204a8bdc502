// The machine state the control shares with the kernel and the updater, put back to a
// known start for tests: no kernel running, no product registry key, an empty home folder.
#pragma once

#include <windows.h>

#include <string>

namespace vl::test {

// "<Documents>\My Vorlink" as the control computes it.
std::wstring HomeFolder();

// Ends every running window of class "TMainForm" (the kernels), deletes
// SOFTWARE\Torvane\vorlink! under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE (this
// program's view) and everything in the home folder.
void ResetProductState();

// Writes the string `value` named `name` in the product key under `root`, created when
// missing; true when stored.
bool WriteProductStringUnder(HKEY root, const std::wstring& name, const std::wstring& value);
// Development mode as an administrator sets it up: "envver" = "Develop" under both the
// user's and the machine's product key.
bool SetDevelopmentMode();

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
