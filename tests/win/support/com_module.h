// The built control module as the platform sees it: its path, its registration through
// Wine's regsvr32, programs run with a bounded wait, and reads of HKEY_CLASSES_ROOT.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace vl::test {

// The module in the build tree.
std::wstring ModulePath();

// Runs a command line hidden and waits for it (at most `timeoutMs`); its exit code, or
// nothing when it did not start or did not end in time. `output` receives what it wrote
// to its standard output.
std::optional<DWORD> RunProgram(const std::wstring& commandLine, std::string* output = nullptr,
                                DWORD timeoutMs = 60000);

// "regsvr32 /s [/u] <path>"; the program's exit code (0 on success).
std::optional<DWORD> Regsvr32(const std::wstring& path, bool unregister = false);

// A REG_SZ value under HKEY_CLASSES_ROOT (null name: the default value).
std::optional<std::string> ClassesRootString(const std::string& key, const char* name = nullptr);
bool ClassesRootKeyExists(const std::string& key);

// "{XXXXXXXX-...}" as the registry spells it.
std::string RegistryGuid(REFGUID guid);

} // namespace vl::test
