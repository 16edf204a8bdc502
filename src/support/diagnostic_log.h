// The diagnostic step log a user can switch on for support: the DWORD value "StepLog" of
// the product key, 1 = on (absent or anything else = off, the default). While it is on, the
// control writes its step log to the fixed file "VLServiceAdapter.log" in the home folder's
// "Log" folder; a file that reaches 1 MiB becomes "VLServiceAdapter.old.log" and a new one
// starts. The path is never read from the registry, and an elevated process never writes
// it: the folder belongs to the user, and a process with the administrator's rights must
// not write where the user's own programs can redirect it.
#pragma once

#include <string>
#include <string_view>

namespace vl {

inline constexpr wchar_t kStepLogValue[] = L"StepLog";
inline constexpr std::wstring_view kStepLogFileName = L"VLServiceAdapter.log";
inline constexpr std::wstring_view kStepLogRotatedName = L"VLServiceAdapter.old.log";
inline constexpr long kStepLogMaxBytes = 1024 * 1024;

// Reads the switch and installs the process's diagnostic writer for the home folder
// `homeFolder` in g_pWidgetLog, or takes it out again; a writer that someone else
// installed is left alone. Called at a control's first call that the site lock lets
// through, so that a refused page opens no log.
void ApplyStepLogSwitch(const std::wstring& homeFolder);

} // namespace vl
