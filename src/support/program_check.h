// The checks a program of the control's family passes before it starts, and what the
// step log and the error box say when one fails.
#pragma once

#include <optional>

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

// What failed, for the step log: "is missing", "cannot be held", ...; empty for Passed.
const wchar_t* ProgramCheckText(ProgramCheck check);

// The message of the table that the error box shows where a failed check is shown: 38
// for a failed signature, 3 (an error on the user's computer) for a file that cannot be
// held. A missing file and a version below the rule are logged only.
std::optional<int> ProgramCheckMessage(ProgramCheck check);

// Logs a failed check after `prefix`: "the Torvane signature was failed." for a failed
// signature, the program's `path` and what failed otherwise.
void LogFailedCheck(ProgramCheck check, const std::wstring& path, const wchar_t* prefix);
// Shows the error box of a failed check where it has one: the message, a line break and
// `path` in parentheses, from `sourceFile` at `line`.
void ShowFailedCheck(const CVLWidgetUtility& utility, ProgramCheck check, const std::wstring& path,
                     const wchar_t* sourceFile, int line);

} // namespace vl
