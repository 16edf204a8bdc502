// Where the tests find what the build made.
#pragma once

#include <string>

namespace vl::test {

// The build tree, as a Windows path inside the prefix (Z: maps the Unix root).
std::wstring BinaryDir();
// A file of the build tree, given relative to it with forward slashes.
std::wstring BuildFile(const std::wstring& relative);

} // namespace vl::test
