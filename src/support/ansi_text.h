// Conversions between UTF-16 and the system's ANSI code page (GetACP): the pipe messages,
// the registration entries and the form's texts are ANSI, everything else is UTF-16.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace vl {

// The code page of every conversion here: the system's, or the one a test put in its place
// (Platform().getACP).
UINT AnsiCodePage();

// Characters the code page cannot represent become its default character.
std::string WideToAnsi(std::wstring_view text);
// The text in the ANSI code page, or nothing when a character has no exact form there: its
// replacement ("?", or a look-alike such as "a" for "ā") would change the text, and two
// texts could become one.
std::optional<std::string> ExactAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);

} // namespace vl
