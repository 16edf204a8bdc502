#include "support/held_program_file.h"

#include <utility>

#include "support/portable/program_path.h"
#include "support/widget_log.h"

namespace vl {

namespace {

// Folders are shared for everything but deleting: listing them and working in them stays
// possible, renaming or removing them does not. Opened with read access, so that the
// sharing counts.
constexpr DWORD kFolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

bool IsLink(const BY_HANDLE_FILE_INFORMATION& info)
{
    return info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
}

bool IsFolder(const BY_HANDLE_FILE_INFORMATION& info)
{
    return info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
}

// A folder itself, never the folder a link points to; null when it is a link.
UniqueHandle HoldFolder(const std::wstring& folder)
{
    UniqueHandle handle(::CreateFileW(folder.c_str(), GENERIC_READ, kFolderSharing, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || !::GetFileInformationByHandle(handle.get(), &info) || !IsFolder(info) || IsLink(info))
        return {};
    return handle;
}

// Every folder from the documents folder down to the one that holds `path`; empty when
// one of them is missing or a link.
std::vector<UniqueHandle> HoldFolders(std::wstring_view documentsFolder, std::wstring_view path)
{
    const auto folders = FoldersDownTo(documentsFolder, path);
    if (!folders) return {};
    std::vector<UniqueHandle> held;
    for (const std::wstring& folder : *folders) {
        held.push_back(HoldFolder(folder));
        if (!held.back()) {
            VL_LOG(L"    [%s] is a link or cannot be held.\n", folder.c_str());
            return {};
        }
    }
    return held;
}

// Whether the open file is the one at `path`, as the system resolves it: no link on the
// way, no other name.
bool IsFinalPath(HANDLE file, const std::wstring& path)
{
    std::wstring finalPath(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(file, finalPath.data(), static_cast<DWORD>(finalPath.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return false;
        if (length < finalPath.size()) {
            finalPath.resize(length);
            break;
        }
        finalPath.resize(length);
    }
    const std::wstring dosPath = DosFormOfFinalPath(finalPath);
    return ::CompareStringOrdinal(dosPath.c_str(), static_cast<int>(dosPath.size()), path.c_str(),
                                  static_cast<int>(path.size()), TRUE) == CSTR_EQUAL;
}

// The entry at `path` itself, a link rather than what it points to where the platform can
// tell (Windows), opened for deleting; null when there is none.
UniqueHandle OpenForDeleting(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info)
{
    UniqueHandle entry(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (entry && !::GetFileInformationByHandle(entry.get(), &info)) entry.reset();
    return entry;
}

bool DeleteThroughHandle(HANDLE file)
{
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

} // namespace

HeldProgramFile::HeldProgramFile(std::wstring_view documentsFolder, std::wstring path) : m_path(std::move(path))
{
    m_folders = HoldFolders(documentsFolder, m_path);
    if (m_folders.empty()) return;
    UniqueHandle file(::CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) {
        m_folders.clear();
        return;
    }
    if (IsLink(info) || IsFolder(info) || !IsFinalPath(file.get(), m_path)) {
        VL_LOG(L"    [%s] is a link or lies elsewhere.\n", m_path.c_str());
        m_folders.clear();
        return;
    }
    m_file = std::move(file);
}

void HeldProgramFile::Release()
{
    m_file.reset();
    m_folders.clear();
}

bool HeldProgramFile::Discard()
{
    BY_HANDLE_FILE_INFORMATION held{};
    if (!Held() || !::GetFileInformationByHandle(m_file.get(), &held)) {
        Release();
        return false;
    }
    // Deleting needs a handle of its own, which the file's sharing keeps out while held.
    // The held folder keeps the file where it is meanwhile; should something else have
    // taken its name in between, that is left alone.
    m_file.reset();
    BY_HANDLE_FILE_INFORMATION found{};
    const UniqueHandle file = OpenForDeleting(m_path, found);
    const bool deleted = file && found.dwVolumeSerialNumber == held.dwVolumeSerialNumber &&
                         found.nFileIndexHigh == held.nFileIndexHigh && found.nFileIndexLow == held.nFileIndexLow &&
                         DeleteThroughHandle(file.get());
    Release();
    return deleted;
}

bool WriteProgramFile(std::wstring_view documentsFolder, const std::wstring& path,
                      const std::vector<std::uint8_t>& bytes, DWORD& error)
{
    const std::vector<UniqueHandle> folders = HoldFolders(documentsFolder, path);
    if (folders.empty()) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    // What lies there goes first: a link itself, never what it points to. Where a link
    // cannot be opened as itself (Wine), it stays, and the new file cannot be made.
    {
        BY_HANDLE_FILE_INFORMATION info{};
        const UniqueHandle old = OpenForDeleting(path, info);
        if (old && (IsLink(info) || IsFinalPath(old.get(), path))) DeleteThroughHandle(old.get());
        // Gone once the handle is closed.
    }
    // A new file only: should anything have been put at the path meanwhile, this fails.
    const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    DWORD written = 0;
    if (file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size())
        return true;
    error = ::GetLastError();
    return false;
}

} // namespace vl
