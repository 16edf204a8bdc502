#include "kernel_journal.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "command_line.h"
#include "support/ansi_text.h"
#include "support/win_handles.h"

namespace vl {

void JournalLine(std::wstring_view line)
{
    static const std::wstring path = EnvironmentText(L"VL_KERNEL_LOG");
    static std::mutex mutex;
    if (path.empty()) return;
    std::wstring text;
    for (wchar_t c : line) {
        if (c == L'\r') text += L"\\r";
        else if (c == L'\n') text += L"\\n";
        else text += c;
    }
    const std::string bytes = WideToAnsi(text) + "\n";
    const std::lock_guard<std::mutex> lock(mutex);
    // Appending writes go to the end even when another process appends too.
    const UniqueHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file.valid()) ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace vl
