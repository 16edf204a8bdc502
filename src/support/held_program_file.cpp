#include "support/held_program_file.h"

#include <utility>

#include "support/portable/program_path.h"
#include "support/portable/reparse_point.h"
#include "support/widget_log.h"

namespace vl {

namespace {

// Folders are shared for everything but deleting: listing them and working in them stays
// possible, renaming or removing them does not. Opened with read access, so that the
// sharing counts.
constexpr DWORD kFolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

bool IsFolder(DWORD attributes)
{
    return attributes & FILE_ATTRIBUTE_DIRECTORY;
}

// The name the system reports for an open file or folder, in the form programs are
// started by; empty when it reports none.
std::wstring FinalPath(HANDLE handle)
{
    std::wstring finalPath(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, finalPath.data(), static_cast<DWORD>(finalPath.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        const bool complete = length < finalPath.size();
        finalPath.resize(length);
        if (complete) return DosFormOfFinalPath(finalPath);
    }
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return !a.empty() && ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A folder as the system resolves it, links followed; empty when it cannot be opened.
std::wstring ResolvedFolder(const std::wstring& folder)
{
    const UniqueHandle handle(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle ? FinalPath(handle.get()) : std::wstring();
}

// A folder of a resolved name, opened as itself: null when it is a link (a reparse point
// that stands for another name) or, where the platform opens no link as itself (Wine),
// when it leads to another name.
UniqueHandle HoldFolder(const std::wstring& folder)
{
    UniqueHandle handle(::CreateFileW(folder.c_str(), GENERIC_READ, kFolderSharing, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!handle || !::GetFileInformationByHandleEx(handle.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
        !IsFolder(tag.FileAttributes) || IsLinkEntry(tag.FileAttributes, tag.ReparseTag) ||
        !SamePath(FinalPath(handle.get()), folder))
        return {};
    return handle;
}

// Every folder of the resolved name `path` from the resolved documents folder down, or
// from the root of the name when it lies elsewhere; empty when one cannot be held.
std::vector<UniqueHandle> HoldFolders(std::wstring_view documentsFolder, const std::wstring& path)
{
    const std::wstring documents =
        documentsFolder.empty() ? std::wstring() : ResolvedFolder(std::wstring(documentsFolder));
    const auto folders = FoldersDownTo(HoldingBase(documents, path), path);
    if (!folders) return {};
    std::vector<UniqueHandle> held;
    for (const std::wstring& folder : *folders) {
        held.push_back(HoldFolder(folder));
        if (!held.back()) {
            VL_LOG(L"    [%s] cannot be held.\n", folder.c_str());
            return {};
        }
    }
    return held;
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

HeldProgramFile::HeldProgramFile(std::wstring_view documentsFolder, std::wstring path)
    : m_path(std::move(path)), m_missing(false)
{
    // Links are followed as the system follows them when it starts a program.
    UniqueHandle file(
        ::CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            m_missing = true;
            return;
        }
        VL_LOG(L"    [%s] cannot be opened for holding: system error %lu.\n", m_path.c_str(), error);
        return;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info) || IsFolder(info.dwFileAttributes)) return;
    const std::wstring resolved = FinalPath(file.get());
    m_folders = HoldFolders(documentsFolder, resolved);
    // Held, the folders keep the resolved name; it must still be the file's.
    if (m_folders.empty() || !SamePath(FinalPath(file.get()), resolved)) {
        VL_LOG(L"    [%s] (resolved [%s]) cannot be held on its way.\n", m_path.c_str(), resolved.c_str());
        m_folders.clear();
        return;
    }
    m_file = std::move(file);
    m_path = resolved;
}

std::wstring HeldProgramFile::Folder() const
{
    const auto split = SplitFolderAndName(m_path);
    return split ? std::wstring(split->folder) : std::wstring();
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
    error = ERROR_PATH_NOT_FOUND;
    const auto split = SplitFolderAndName(path);
    if (!split || split->name.empty()) return false;
    std::wstring target = ResolvedFolder(std::wstring(split->folder));
    if (target.empty()) return false;
    if (target.back() != L'\\') target += L'\\';
    target += split->name;

    error = ERROR_ACCESS_DENIED;
    const std::vector<UniqueHandle> folders = HoldFolders(documentsFolder, target);
    if (folders.empty()) return false;
    // What lies there goes first: a link itself, never what it points to. Where a link
    // cannot be opened as itself (Wine), it stays, and the new file cannot be made.
    {
        BY_HANDLE_FILE_INFORMATION info{};
        const UniqueHandle old = OpenForDeleting(target, info);
        if (old && ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || SamePath(FinalPath(old.get()), target)))
            DeleteThroughHandle(old.get());
        // Gone once the handle is closed.
    }
    // A new file only: should anything have been put at the path meanwhile, this fails.
    const UniqueHandle file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    DWORD written = 0;
    if (file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size())
        return true;
    error = ::GetLastError();
    return false;
}

} // namespace vl
