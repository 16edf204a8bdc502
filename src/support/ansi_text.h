// Conversions between UTF-16 and the system's ANSI code page (GetACP): the pipe messages,
// the registration entries and the form's texts are ANSI, everything else is UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace vl {

// Characters the code page cannot represent become its default character.
std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);

} // namespace vl
