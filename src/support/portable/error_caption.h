// The caption of the control's error box: the component and the place in the source that
// reported the error.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vl {

// A caption fits a buffer of this many wide characters, terminator included.
inline constexpr std::size_t kErrorCaptionCapacity = 260;

// "%s (%s:%d)" of the component name, the source file's base name (after the last
// backslash, cut at its first ".") and the line; the component name alone without a
// source file. Longer captions are cut to kErrorCaptionCapacity - 1 characters.
std::wstring FormatErrorBoxCaption(std::wstring_view componentName, const wchar_t* sourceFile, int line);

} // namespace vl
