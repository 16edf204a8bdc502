#include "support/platform_calls.h"

#include "support/widget_log.h"
#include "support/win_handles.h"

namespace vl {

namespace {

constexpr wchar_t kMachineProgramClass[] = L"Software\\Classes\\exefile";

// Elevated programs are started with the platform's 60-byte execute record (112 bytes in
// the 64-bit module).
static_assert(sizeof(SHELLEXECUTEINFOW) == (sizeof(void*) == 8 ? 112 : 60));

bool StartDirectly(const std::wstring& path, const std::wstring& parameters, const std::wstring& directory,
                   int showCommand)
{
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!parameters.empty()) commandLine += L" " + parameters;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION process{};
    if (!Platform().createProcess(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  directory.empty() ? nullptr : directory.c_str(), &startup, &process))
        return false;
    // Not waited for: owning the handles only closes them.
    const UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    return true;
}

bool AskShellToElevate(const std::wstring& path, const std::wstring& parameters, const std::wstring& directory,
                       int showCommand)
{
    UniqueRegKey programClass;
    const LONG opened = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMachineProgramClass, 0, KEY_READ, programClass.put());
    if (opened != ERROR_SUCCESS) {
        ::SetLastError(static_cast<DWORD>(opened));
        return false;
    }
    const std::wstring quoted = L"\"" + path + L"\"";
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_CLASSKEY;
    info.hkeyClass = programClass.get();
    info.lpVerb = L"runas";
    info.lpFile = quoted.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = showCommand;
    return Platform().shellExecuteEx(&info);
}

} // namespace

std::optional<DWORD> ProcessTokenFlag(TOKEN_INFORMATION_CLASS flag)
{
    UniqueHandle token;
    DWORD value = 0;
    DWORD size = 0;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !::GetTokenInformation(token.get(), flag, &value, sizeof value, &size))
        return std::nullopt;
    return value;
}

bool IsProcessElevated()
{
    // TOKEN_ELEVATION is the one DWORD TokenIsElevated.
    static_assert(sizeof(TOKEN_ELEVATION) == sizeof(DWORD));
    return ProcessTokenFlag(TokenElevation).value_or(0) != 0;
}

AdapterPlatform& Platform()
{
    static AdapterPlatform platform;
    return platform;
}

bool StartElevatedProgram(const std::wstring& path, const std::wstring& parameters, const std::wstring& directory,
                          int showCommand)
{
    if (AskShellToElevate(path, parameters, directory, showCommand)) return true;
    VL_LOG(L"    starting [%s] elevated failed: system error %lu.\n", path.c_str(), ::GetLastError());
    return false;
}

bool StartProgram(bool elevated, const std::wstring& path, const std::wstring& parameters,
                  const std::wstring& directory, int showCommand)
{
    if (elevated && !Platform().isProcessElevated())
        return StartElevatedProgram(path, parameters, directory, showCommand);
    if (StartDirectly(path, parameters, directory, showCommand)) return true;
    VL_LOG(L"    starting [%s] failed: system error %lu.\n", path.c_str(), ::GetLastError());
    return false;
}

} // namespace vl
