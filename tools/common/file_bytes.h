// Whole files as bytes.
#pragma once

#include <optional>
#include <string>

namespace vl {

// Nothing when the file cannot be opened or read.
std::optional<std::string> ReadFileBytes(const std::wstring& path);
// Creates or replaces the file; true when every byte was written.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

} // namespace vl
