// What a program is started with: its parameter text, its arguments and its environment.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vl {

// Everything after the program name (quoted or not) and the blanks that follow it, as the
// shell passes a parameter text through unchanged.
std::wstring ParameterText(std::wstring_view commandLine);

// The arguments after the program's name, split as the C runtime splits a command line
// (blanks separate, quotes group).
std::vector<std::wstring> CommandArguments(const wchar_t* commandLine);

// The value of an environment variable; empty when it is not set.
std::wstring EnvironmentText(const wchar_t* name);

} // namespace vl
