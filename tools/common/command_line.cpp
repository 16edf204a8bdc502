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

std::vector<std::wstring> CommandArguments(const wchar_t* commandLine)
{
    int count = 0;
    const std::unique_ptr<wchar_t*, decltype(&::LocalFree)> list(::CommandLineToArgvW(commandLine, &count),
                                                                 &::LocalFree);
    std::vector<std::wstring> arguments;
    for (int i = 1; list && i < count; ++i) arguments.emplace_back(list.get()[i]);
    return arguments;
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
