// The text of a page's script file: UTF-16 with its byte-order mark, else UTF-8 (with or
// without a mark), else the ANSI code page.
#pragma once

#include <optional>
#include <string>

namespace vl::pagehost {

// None when the file cannot be read, is no file on a disk, or holds more than 16 MiB.
std::optional<std::wstring> ReadScriptFile(const std::wstring& path);

} // namespace vl::pagehost
