// Starting the widget kernel and waiting for its window; waiting, after the leave notice,
// until it has gone. Functions over the utility object, which knows the home folder, the
// kernel's window title and the publisher check.
#pragma once

#include <windows.h>

#include <string>

#include "support/widget_utility.h"

namespace vl {

struct KernelStart {
    std::wstring regionValue; // the kernel's parameter text
    bool legacyOS = true;     // not elevated
    bool verifyPublisher = true;
};

// The kernel's main window: top-level, class "TMainForm", titled with message 0 of the
// region (any title when that is empty). Null when the kernel does not run.
HWND FindKernelWindow(const CVLWidgetUtility& utility);
std::wstring KernelPath(const CVLWidgetUtility& utility);

// The kernel's registration run, "<kernel>" /regserver, not elevated and not waited for:
// only a kernel that passes its checks (CheckProgram), held from the checks until it has
// started by its resolved name. A failed check is logged, nothing is shown.
void RegisterKernelServer(CVLWidgetUtility& utility, bool verifyPublisher);
// The kernel's window once it runs (started here if needed, after its checks, by its
// resolved name, elevated on systems of major version 6), or null after a failed check
// (with the error box where the check has one) or when no window came in 10 s.
HWND StartWidgetKernel(CVLWidgetUtility& utility, const KernelStart& start);
// After the leave notice: waits until the kernel's process (registry "PID") has ended or,
// without a process id, its window has gone, then a little longer; about 13 s at most.
void WaitForKernelToLeave(CVLWidgetUtility& utility);

} // namespace vl
