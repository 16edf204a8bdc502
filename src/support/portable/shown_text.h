// Text from outside (a server's status line, say) made fit to be shown in an error box.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vl {

// `text` without control characters (C0, DEL, C1) and without the invisible formatting
// characters that reorder or hide what is shown (bidirectional controls, zero-width
// characters, the byte order mark), cut to at most `maxLength` characters. A cut text ends
// in "..." within that length, and a cut never splits a surrogate pair.
std::wstring ShownText(std::wstring_view text, std::size_t maxLength);

} // namespace vl
