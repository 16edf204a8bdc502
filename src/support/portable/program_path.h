// The text side of holding a program by its path: the folders that lead down to it, the
// folder from which they are held, and the final path the platform reports for an open file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vl {

// The folders from `base` down to the one that holds `path`, `base` first (a drive's or a
// share's root with its closing "\"). Nothing when `path` does not lie below `base`, or
// names an empty, "." or ".." component on the way: such a path could lead somewhere else
// than its text says.
std::optional<std::vector<std::wstring>> FoldersDownTo(std::wstring_view base, std::wstring_view path);

// The root of a full path in the form programs are started by: "C:" of "C:\...",
// "\\server\share" of "\\server\share\..."; empty for any other text.
std::wstring_view PathRoot(std::wstring_view path);

// A full path split at its last separator: the folder, a root keeping its separator
// ("C:\" of "C:\x.exe": "C:" alone would be the drive's current folder), and the last
// component. Nothing when `path` has no separator.
struct FolderAndName {
    std::wstring_view folder, name;
};
std::optional<FolderAndName> SplitFolderAndName(std::wstring_view path);

// Where the folders that lead to a program are held from, both paths resolved (no links
// left): the documents folder when the program lies below it, else the root of its path.
std::wstring_view HoldingBase(std::wstring_view documentsFolder, std::wstring_view programPath);

// A final path as the platform reports it ("\\?\C:\...", "\\?\UNC\server\share\...") in
// the form programs are started by ("C:\...", "\\server\share\..."); other text unchanged.
std::wstring DosFormOfFinalPath(std::wstring_view finalPath);

} // namespace vl
