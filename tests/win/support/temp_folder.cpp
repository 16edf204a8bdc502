#include "temp_folder.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vl::test {

TempFolder::TempFolder()
{
    static std::atomic<unsigned> counter{0};
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    for (;;) {
        m_path = std::wstring(base) + L"vl_test_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                 std::to_wstring(counter++);
        if (::CreateDirectoryW(m_path.c_str(), nullptr) || ::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(m_path), ignored);
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::string bytes;
    if (std::FILE* file = ::_wfopen(path.c_str(), L"rb")) {
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, n);
        std::fclose(file);
    }
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::FILE* file = ::_wfopen(path.c_str(), L"wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace vl::test
