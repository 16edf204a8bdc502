#include "support/portable/home_folder.h"

namespace vl {

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name)
{
    std::wstring path(folder);
    if (path.empty() || path.back() != L'\\') path += L'\\';
    path += name;
    return path;
}

std::wstring HomeFolderOf(std::wstring_view documentsFolder)
{
    if (documentsFolder.empty()) return {};
    return JoinPath(documentsFolder, kHomeFolderName);
}

} // namespace vl
