// Page text that becomes command-line text of programs the control starts elevated: the
// region value (the kernel's parameters, the updater's first argument) and the required
// versions. Only text that cannot add or split an argument is accepted.
#pragma once

#include <string_view>

namespace vl {

// At most 64 ASCII letters, digits, ";", ".", "-" and "_", the first a letter or a digit:
// every region value of the tables, and unknown ones of the same form.
bool IsAcceptedRegionValue(std::wstring_view regionValue);

// Four decimal numbers joined by ".", each at most 2147483647: the version texts that the
// version comparison reads, written as "%d.%d.%d.%d" writes them.
bool IsAcceptedVersionText(std::wstring_view version);

} // namespace vl
