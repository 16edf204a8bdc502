// Text from outside (a server's status line, say) made fit to be shown in an error box.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vl {

// `text` without control characters (C0, DEL, C1) and without the invisible characters
// that reorder, break or hide what is shown (every default-ignorable code point, among
// them the soft hyphen, fillers and variation selectors; the directional marks and
// controls; the line and paragraph separators), cut to at most `maxLength` wide characters.
// A cut text ends in "..." within that length, and a cut never splits a surrogate pair.
std::wstring ShownText(std::wstring_view text, std::size_t maxLength);

} // namespace vl
