// The parameter text of a program: its command line without the program name.
#pragma once

#include <string>
#include <string_view>

namespace vl {

// Everything after the program name (quoted or not) and the blanks that follow it, as the
// shell passes a parameter text through unchanged.
std::wstring ParameterText(std::wstring_view commandLine);

} // namespace vl
