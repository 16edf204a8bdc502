// Where the stand-in programs keep their files.
#pragma once

#include <string>

namespace vl {

// The home folder "My Vorlink" inside the user's documents folder, created when missing;
// empty when the documents folder is unknown.
std::wstring StandInHomeFolder();

// The full path of the running program.
std::wstring OwnProgramPath();

} // namespace vl
