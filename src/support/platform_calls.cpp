#include "support/platform_calls.h"

#include "support/win_handles.h"

namespace vl {

bool IsProcessElevated()
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

AdapterPlatform& Platform()
{
    static AdapterPlatform platform;
    return platform;
}

void StartProgram(const std::wstring& verb, const std::wstring& path, const std::wstring& parameters,
                  const std::wstring& directory, int showCommand)
{
    // Quoted, so that a blank in the path cannot split it into a program and arguments.
    const std::wstring quoted = L"\"" + path + L"\"";
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.lpVerb = verb.empty() ? nullptr : verb.c_str();
    info.lpFile = quoted.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = showCommand;
    Platform().shellExecuteEx(&info);
}

} // namespace vl
