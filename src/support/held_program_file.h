// A program file in the user's documents folder, held open from its publisher check until
// it has been started, together with the folders that lead to it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/win_handles.h"

namespace vl {

// While held, the file is open for reading and shared for reading only: no other process
// can write, replace, rename or delete it. Every folder from the documents folder down to
// it is open without delete sharing, so none of them can be renamed or replaced by a link
// either. Neither the file nor any of those folders may be a link (a reparse point), and
// the file's final path must be the path it is started by: so the file that starts is the
// file that was checked. Starting it needs no more than reading.
class HeldProgramFile {
public:
    HeldProgramFile() = default;
    // Holds `path`, a file below `documentsFolder`; not held when the file is missing,
    // another process has it open for writing or deleting, or its path leads elsewhere.
    HeldProgramFile(std::wstring_view documentsFolder, std::wstring path);

    bool Held() const { return m_file.valid(); }
    const std::wstring& Path() const { return m_path; }
    // The open file, for reading only.
    HANDLE Handle() const { return m_file.get(); }

    // Lets go of the file and its folders.
    void Release();
    // Deletes the held file through a handle of its own, opened only once it is known to
    // be the very file that was held (a name taken over by another file is left alone);
    // then lets go. False when it could not be deleted.
    bool Discard();

private:
    std::wstring m_path;
    std::vector<UniqueHandle> m_folders;
    UniqueHandle m_file;
};

// Writes `bytes` as a new file at `path` below `documentsFolder`, through a handle that is
// no link: whatever lay there (a file or a link, never a folder) is deleted through its
// own handle first, and the folders are held meanwhile. False with the system's error
// code in `error`.
bool WriteProgramFile(std::wstring_view documentsFolder, const std::wstring& path,
                      const std::vector<std::uint8_t>& bytes, DWORD& error);

} // namespace vl
