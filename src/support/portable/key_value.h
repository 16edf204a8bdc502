// The "Key=Value" fields joined by "&&&&" of the kernel's messages and the updater's
// progress text.
#pragma once

#include <string>
#include <string_view>

namespace vl {

// Value of the field `key` ("=" appended when missing) in `text`: the first occurrence
// anywhere, up to the next "&&&&". Empty when absent.
std::wstring GetKeyValue(std::wstring_view text, std::wstring_view key);
// The same value as a part of `text`: no copy is made for a lookup.
std::wstring_view FindKeyValue(std::wstring_view text, std::wstring_view key);

} // namespace vl
