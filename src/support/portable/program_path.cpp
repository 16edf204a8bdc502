#include "support/portable/program_path.h"

namespace vl {

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsAsciiLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The end of the next path component that starts at `start`.
std::size_t ComponentEnd(std::wstring_view path, std::size_t start)
{
    while (start < path.size() && !IsSeparator(path[start])) ++start;
    return start;
}

} // namespace

std::wstring_view PathRoot(std::wstring_view path)
{
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == L':' && (path.size() == 2 || IsSeparator(path[2])))
        return path.substr(0, 2);
    if (path.size() < 3 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return {};
    const std::size_t serverEnd = ComponentEnd(path, 2);
    if (serverEnd == 2 || serverEnd >= path.size()) return {};
    const std::size_t shareEnd = ComponentEnd(path, serverEnd + 1);
    if (shareEnd == serverEnd + 1) return {};
    const std::wstring_view server = path.substr(2, serverEnd - 2);
    // "\\?\..." and "\\.\..." are device paths, not shares.
    if (server == L"?" || server == L".") return {};
    return path.substr(0, shareEnd);
}

std::optional<std::vector<std::wstring>> FoldersDownTo(std::wstring_view base, std::wstring_view path)
{
    while (!base.empty() && IsSeparator(base.back())) base.remove_suffix(1);
    if (base.empty() || path.size() <= base.size() + 1 || path.substr(0, base.size()) != base ||
        !IsSeparator(path[base.size()]))
        return std::nullopt;

    std::vector<std::wstring> folders{std::wstring(base)};
    // A root is "D:\" or "\\server\share\": "D:" alone would be the drive's current folder.
    if (PathRoot(base) == base) folders.front() += L'\\';
    std::size_t start = base.size() + 1;
    for (;;) {
        const std::size_t end = ComponentEnd(path, start);
        const std::wstring_view component = path.substr(start, end - start);
        if (component.empty() || component == L"." || component == L"..") return std::nullopt;
        // The last component is the file itself.
        if (end == path.size()) return folders;
        folders.emplace_back(path.substr(0, end));
        start = end + 1;
    }
}

std::optional<FolderAndName> SplitFolderAndName(std::wstring_view path)
{
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring_view::npos) return std::nullopt;
    const std::size_t folderEnd = separator == PathRoot(path).size() ? separator + 1 : separator;
    return FolderAndName{path.substr(0, folderEnd), path.substr(separator + 1)};
}

std::wstring_view HoldingBase(std::wstring_view documentsFolder, std::wstring_view programPath)
{
    if (!documentsFolder.empty() && FoldersDownTo(documentsFolder, programPath)) return documentsFolder;
    return PathRoot(programPath);
}

std::wstring DosFormOfFinalPath(std::wstring_view finalPath)
{
    constexpr std::wstring_view kUncPrefix = L"\\\\?\\UNC\\";
    constexpr std::wstring_view kLocalPrefix = L"\\\\?\\";
    if (finalPath.starts_with(kUncPrefix)) return L"\\\\" + std::wstring(finalPath.substr(kUncPrefix.size()));
    if (finalPath.starts_with(kLocalPrefix)) return std::wstring(finalPath.substr(kLocalPrefix.size()));
    return std::wstring(finalPath);
}

} // namespace vl
