// The text side of holding a program by its path: the folders that lead from the
// documents folder down to it, and the final path the platform reports for an open file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vl {

// The folders from `base` down to the one that holds `path`, `base` first. Nothing when
// `path` does not lie below `base`, or names an empty, "." or ".." component on the way:
// such a path could lead somewhere else than its text says.
std::optional<std::vector<std::wstring>> FoldersDownTo(std::wstring_view base, std::wstring_view path);

// A final path as the platform reports it ("\\?\C:\...", "\\?\UNC\server\share\...") in
// the form programs are started by ("C:\...", "\\server\share\..."); other text unchanged.
std::wstring DosFormOfFinalPath(std::wstring_view finalPath);

} // namespace vl
