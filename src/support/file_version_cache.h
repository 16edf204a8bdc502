// The fixed versions of program files, read once per process and file: reading one maps
// the file twice (a few milliseconds under load), which every page's Initialize would pay
// again for the same kernel. A file counts as the same while its path, size, creation and
// last write times are; a file the updater puts in place is a new one.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vl {

// `read()` once for each path and stamp (size and times as a directory search gives them);
// its answer, an empty text included, afterwards.
std::wstring CachedFileVersion(const std::wstring& path, const WIN32_FIND_DATAA& stamp,
                               const std::function<std::wstring()>& read);

} // namespace vl
