#include "script_file.h"

#include <windows.h>

#include <cstring>
#include <string_view>

#include "support/win_handles.h"

namespace vl::pagehost {

namespace {

// More than any page's script; a larger file is refused rather than held.
constexpr std::size_t kMaxScriptBytes = 16 * 1024 * 1024;

std::optional<std::string> ReadBytes(const std::wstring& path)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    // A file on a disk only: a console, pipe or device would keep the read waiting.
    if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        if (bytes.size() + read > kMaxScriptBytes) return std::nullopt;
        bytes.append(buffer, read);
    }
    return bytes;
}

std::wstring Decode(std::string_view bytes, UINT codePage, DWORD flags, bool& ok)
{
    ok = true;
    if (bytes.empty()) return {};
    const int size = ::MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    ok = size > 0;
    if (!ok) return {};
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

} // namespace

std::optional<std::wstring> ReadScriptFile(const std::wstring& path)
{
    const std::optional<std::string> bytes = ReadBytes(path);
    if (!bytes) return std::nullopt;
    std::string_view content(*bytes);
    if (content.starts_with("\xFF\xFE")) {
        content.remove_prefix(2);
        std::wstring text(content.size() / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), content.data(), text.size() * sizeof(wchar_t));
        return text;
    }
    if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
    bool ok = false;
    std::wstring text = Decode(content, CP_UTF8, MB_ERR_INVALID_CHARS, ok);
    if (!ok) text = Decode(content, CP_ACP, 0, ok);
    return text;
}

} // namespace vl::pagehost
