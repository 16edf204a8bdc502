#include "test_paths.h"

#include <algorithm>

namespace vl::test {

std::wstring BinaryDir()
{
    std::string unixPath = VL_BINARY_DIR;
    std::wstring path = L"Z:" + std::wstring(unixPath.begin(), unixPath.end());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring BuildFile(const std::wstring& relative)
{
    std::wstring path = BinaryDir() + L"\\" + relative;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

} // namespace vl::test
