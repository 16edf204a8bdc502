#include "product_state.h"

#include <shlobj.h>

#include <filesystem>
#include <vector>

#include "support/win_handles.h"
#include "test_paths.h"

namespace vl::test {

namespace {

void DeleteFolderContents(const std::wstring& folder)
{
    std::error_code ignored;
    for (std::filesystem::directory_iterator entry(folder, ignored), end; entry != end; entry.increment(ignored))
        std::filesystem::remove_all(entry->path(), ignored);
}

bool IsFolderEmpty(const std::wstring& folder)
{
    std::error_code ignored;
    return !std::filesystem::exists(folder, ignored) || std::filesystem::is_empty(folder, ignored);
}

BOOL CALLBACK CollectKernelProcess(HWND window, LPARAM context)
{
    wchar_t className[32] = {};
    ::GetClassNameW(window, className, 32);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (std::wstring(className) == L"TMainForm" && pid != ::GetCurrentProcessId())
        reinterpret_cast<std::vector<DWORD>*>(context)->push_back(pid);
    return TRUE;
}

// Processes other than this one that own a top-level window of class "TMainForm".
std::vector<DWORD> KernelProcesses()
{
    std::vector<DWORD> processes;
    ::EnumWindows(CollectKernelProcess, reinterpret_cast<LPARAM>(&processes));
    return processes;
}

} // namespace

std::wstring HomeFolder()
{
    wchar_t documents[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, TRUE);
    std::wstring home = documents;
    if (!home.empty() && home.back() != L'\\') home += L'\\';
    return home + L"My Vorlink";
}

bool EndRunningKernels()
{
    for (int i = 0; i < 50; ++i) {
        const auto processes = KernelProcesses();
        if (processes.empty()) return true;
        for (DWORD pid : processes) {
            vl::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
            if (!process.valid()) continue;
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 5000);
        }
        PumpMessages(50);
    }
    return KernelProcesses().empty();
}

void ResetProductState()
{
    EndRunningKernels();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Torvane\\vorlink!");
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Torvane\\vorlink!");
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Torvane\\vorlink!", L"envver");
    const std::wstring home = HomeFolder();
    // A program that has just ended may still hold its file for a moment.
    for (int attempt = 0; attempt < 50 && !IsFolderEmpty(home); ++attempt) {
        DeleteFolderContents(home);
        if (!IsFolderEmpty(home)) ::Sleep(100);
    }
    ::CreateDirectoryW(home.c_str(), nullptr);
}

bool EnterDevelopmentMode()
{
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        vl::UniqueRegKey key;
        static constexpr wchar_t kDevelop[] = L"Develop";
        if (::RegCreateKeyExW(root, L"SOFTWARE\\Torvane\\vorlink!", 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                              nullptr) != ERROR_SUCCESS ||
            ::RegSetValueExW(key.get(), L"envver", 0, REG_SZ, reinterpret_cast<const BYTE*>(kDevelop),
                             sizeof kDevelop) != ERROR_SUCCESS)
            return false;
    }
    return true;
}

bool InstallIntoHome(const std::wstring& buildRelative, const std::wstring& name)
{
    ::CreateDirectoryW(HomeFolder().c_str(), nullptr);
    return ::CopyFileW(BuildFile(buildRelative).c_str(), (HomeFolder() + L"\\" + name).c_str(), FALSE) != FALSE;
}

void PumpMessages(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (::GetTickCount() - start < ms);
}

} // namespace vl::test
