// Where the stand-in programs keep their files.
#pragma once

#include <windows.h>

#include <string>

namespace vl {

// The home folder "My Vorlink" inside the user's documents folder, created when missing;
// empty when the documents folder is unknown.
std::wstring StandInHomeFolder();

// The full path of a loaded module's file; by default the running program's. Empty when
// the module is not loaded.
std::wstring ModulePath(HMODULE module = nullptr);

} // namespace vl
