#include "planted_link.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "support/win_handles.h"

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

// A junction: the reparse data of a mount point, substitute name "\??\<target>".
bool MakeJunction(const std::wstring& link, const std::wstring& target)
{
    if (!::CreateDirectoryW(link.c_str(), nullptr)) return false;
    const UniqueHandle folder(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const std::wstring substitute = L"\\??\\" + target;
    const WORD nameBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    // Tag, data length, reserved; substitute offset and length, print offset and length;
    // the substitute name and an empty print name, each with its terminator.
    std::vector<BYTE> data(8 + 8 + nameBytes + 2 * sizeof(wchar_t));
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    const WORD header[] = {static_cast<WORD>(data.size() - 8), 0, 0, nameBytes,
                           static_cast<WORD>(nameBytes + sizeof(wchar_t)), 0};
    std::memcpy(data.data(), &tag, sizeof tag);
    std::memcpy(data.data() + 4, header, sizeof header);
    std::memcpy(data.data() + 16, substitute.data(), nameBytes);
    DWORD returned = 0;
    if (folder && ::DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, data.data(), static_cast<DWORD>(data.size()),
                                    nullptr, 0, &returned, nullptr))
        return true;
    ::RemoveDirectoryW(link.c_str());
    return false;
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
    m_planted = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                    ? MakeJunction(m_link, target)
                    : ::CreateSymbolicLinkW(m_link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
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
