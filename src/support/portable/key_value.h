// The "Key=Value" fields joined by "&&&&" of the kernel's messages and the updater's
// progress text.
#pragma once

#include <string>
#include <string_view>

namespace vl {

// Value of the field `key` ("=" appended when missing) in `text`: the first occurrence
// anywhere, up to the next "&&&&". Empty when absent.
std::wstring GetKeyValue(std::wstring_view text, std::wstring_view key);

} // namespace vl
