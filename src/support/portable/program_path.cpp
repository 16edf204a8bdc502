#include "support/portable/program_path.h"

namespace vl {

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

} // namespace

std::optional<std::vector<std::wstring>> FoldersDownTo(std::wstring_view base, std::wstring_view path)
{
    while (!base.empty() && IsSeparator(base.back())) base.remove_suffix(1);
    if (base.empty() || path.size() <= base.size() + 1 || path.substr(0, base.size()) != base ||
        !IsSeparator(path[base.size()]))
        return std::nullopt;

    std::vector<std::wstring> folders{std::wstring(base)};
    // A drive's root is "D:\"; "D:" alone would be the drive's current folder.
    if (base.back() == L':') folders.front() += L'\\';
    std::size_t start = base.size() + 1;
    for (;;) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        const std::wstring_view component = path.substr(start, end - start);
        if (component.empty() || component == L"." || component == L"..") return std::nullopt;
        // The last component is the file itself.
        if (end == path.size()) return folders;
        folders.emplace_back(path.substr(0, end));
        start = end + 1;
    }
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
