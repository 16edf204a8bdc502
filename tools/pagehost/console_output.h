// The host's output: what the page prints goes to standard output, the host's own
// complaints to standard error, a line at a time and unbuffered, so that a reader on a
// pipe sees each line as soon as it is written.
#pragma once

#include <string_view>

namespace vl::pagehost {

enum class OutputStream { Out, Error };

// Writes `text` and a line feed ("\n"): UTF-16 to a console, UTF-8 to a pipe or file.
void PrintLine(std::wstring_view text, OutputStream stream = OutputStream::Out);

} // namespace vl::pagehost
