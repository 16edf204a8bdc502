// The checks a program of the control's family passes before it starts, and what the
// step log and the error box say when one fails.
#pragma once

#include "support/held_program_file.h"
#include "support/widget_utility.h"

namespace vl {

enum class ProgramCheck {
    Passed,
    Missing,         // no file at the path
    CannotHold,      // see HoldResult::CannotHold
    SignatureFails,  // not signed by the maker, or changed since
    VersionTooLow,   // an updater below the version rule
};

// Whether the program may start as far as its file goes: held, and signed by the maker
// unless `verifyPublisher` is false (development mode, which skips the holding as well:
// a program that cannot be held is then started by the path it was given). A missing file
// never passes. The version rule is the caller's.
ProgramCheck CheckProgram(const HeldProgramFile& program, bool verifyPublisher);

// Logs a failed check after `prefix`: "the Torvane signature was failed." for a failed
// signature, the program's `path` and what failed otherwise.
void LogFailedCheck(ProgramCheck check, const std::wstring& path, const wchar_t* prefix);
// Shows the error box of a failed check where it has one (a failed signature: message 38;
// a file that cannot be held: 3, an error on the user's computer; a missing file and a
// version below the rule are logged only): the message, a line break and `path` in
// parentheses, from `sourceFile` at `line`.
void ShowFailedCheck(const CVLWidgetUtility& utility, ProgramCheck check, const std::wstring& path,
                     const wchar_t* sourceFile, int line);

} // namespace vl
