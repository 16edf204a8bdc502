// Stands in for the browser in the test prefix: records the command line it was started
// with in the file that VL_BROWSER_RECORD names (or beside itself), then ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show)
{
    wchar_t record[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"VL_BROWSER_RECORD", record, MAX_PATH)) {
        ::GetModuleFileNameW(nullptr, record, MAX_PATH);
        ::lstrcatW(record, L".txt");
    }
    const std::wstring text = std::wstring(::GetCommandLineW()) + L"\n" + std::to_wstring(show);
    HANDLE file = ::CreateFileW(record, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
