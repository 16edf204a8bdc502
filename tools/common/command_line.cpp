#include "command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>

namespace vl {

std::wstring ParameterText(std::wstring_view commandLine)
{
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine.front() == L'"') {
        const auto close = commandLine.find(L'"', 1);
        i = close == std::wstring_view::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t') ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
    return std::wstring(commandLine.substr(i));
}

std::wstring FirstArgument(const wchar_t* commandLine)
{
    int count = 0;
    const std::unique_ptr<wchar_t*, decltype(&::LocalFree)> arguments(::CommandLineToArgvW(commandLine, &count),
                                                                      &::LocalFree);
    return arguments && count > 1 ? std::wstring(arguments.get()[1]) : std::wstring();
}

std::wstring EnvironmentText(const wchar_t* name)
{
    std::wstring value;
    DWORD size = 0;
    // The value may change between the two calls; repeat until it fits.
    for (;;) {
        const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
        if (length < size || length == 0) {
            value.resize(length);
            return value;
        }
        size = length;
        value.resize(size);
    }
}

} // namespace vl
