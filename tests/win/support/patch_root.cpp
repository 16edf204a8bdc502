#include "patch_root.h"

#include <windows.h>

#include <filesystem>
#include <sstream>
#include <system_error>

#include "temp_folder.h"

namespace vl::test {

namespace {

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

// The file of the patch root that stands for `url`: its path without query, below the root.
std::filesystem::path PatchFile(const std::wstring& url)
{
    const auto hostStart = url.find(L"://");
    const auto pathStart = url.find(L'/', hostStart == std::wstring::npos ? 0 : hostStart + 3);
    if (pathStart == std::wstring::npos) return {};
    const std::wstring path = url.substr(pathStart + 1, url.find_first_of(L"?#", pathStart) - pathStart - 1);
    if (path.empty() || PatchRoot().empty()) return {};
    return std::filesystem::path(PatchRoot()) / std::filesystem::path(path).make_preferred();
}

} // namespace

std::wstring PatchRoot()
{
    return Environment(L"VL_PATCH_ROOT");
}

bool PutPatchFile(const std::wstring& url, const std::string& bytes)
{
    const std::filesystem::path file = PatchFile(url);
    if (file.empty()) return false;
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    return WriteFileBytes(file.wstring(), bytes);
}

void RemovePatchFile(const std::wstring& url)
{
    const std::filesystem::path file = PatchFile(url);
    std::error_code ignored;
    if (!file.empty()) std::filesystem::remove(file, ignored);
}

std::vector<std::string> PatchRequests()
{
    std::vector<std::string> requests;
    std::istringstream lines(ReadFileBytes(Environment(L"VL_PATCH_LOG")));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) requests.push_back(line);
    return requests;
}

} // namespace vl::test
