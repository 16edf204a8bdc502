#include "planted_link.h"

#include <windows.h>

#include <cstring>

namespace vl::test {

namespace {

using UnixFileName = char*(CDECL*)(const wchar_t*);

// Wine's own export, present only under Wine.
UnixFileName WineUnixFileName()
{
    return reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

std::wstring UnixPath(UnixFileName convert, const std::wstring& path)
{
    char* unix = convert(path.c_str());
    if (!unix) return {};
    const std::wstring result(unix, unix + std::strlen(unix));
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

bool Exists(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) || ::GetLastError() != ERROR_FILE_NOT_FOUND;
}

// Runs a host program under Wine: it starts outside Wine's processes, so its end is seen
// by its effect, waited for at most two seconds. Wine gives no handles for such a process:
// what it leaves in the record is no handle and is not closed.
template <typename Done>
bool RunHostProgram(const std::wstring& commandLine, Done done)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    for (int i = 0; i < 200 && !done(); ++i) ::Sleep(10);
    return done();
}

} // namespace

PlantedLink::PlantedLink(std::wstring link, const std::wstring& target) : m_link(std::move(link))
{
    if (const UnixFileName convert = WineUnixFileName()) {
        m_planted = RunHostProgram(L"Z:\\bin\\ln -s \"" + UnixPath(convert, target) + L"\" \"" +
                                       UnixPath(convert, m_link) + L"\"",
                                   [&] { return Exists(m_link); });
        return;
    }
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const DWORD folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                             ? SYMBOLIC_LINK_FLAG_DIRECTORY
                             : 0;
    m_planted = ::CreateSymbolicLinkW(m_link.c_str(), target.c_str(), folder | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
}

PlantedLink::~PlantedLink()
{
    if (!m_planted) return;
    if (const UnixFileName convert = WineUnixFileName()) {
        RunHostProgram(L"Z:\\bin\\rm -f \"" + UnixPath(convert, m_link) + L"\"", [&] { return !Exists(m_link); });
        return;
    }
    if (!::RemoveDirectoryW(m_link.c_str())) ::DeleteFileW(m_link.c_str());
}

} // namespace vl::test
