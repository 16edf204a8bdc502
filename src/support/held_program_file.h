// A program file, held open from its checks until it has been started, together with the
// folders that lead to it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/win_handles.h"

namespace vl {

// Whether a program could be held, and if not, why.
enum class HoldResult {
    Held,
    Missing,    // no file at the path
    CannotHold, // another program has it open for writing or deleting, or its way cannot be held
};

// The program is opened as the system opens it when it starts it, following every link
// on the way (a redirected documents folder, Wine's Documents, a link the user made), and
// held: open for reading and shared for reading only, so that no other process can write,
// replace, rename or delete it. Its resolved name, which the system takes from the held
// handle and which has no links left, is the name it is checked and started by. Every
// folder of that name from the resolved documents folder down (from the root of the name
// when the program lies elsewhere) is held open as itself, without delete sharing, so that
// none of them can be renamed or replaced by a link: while held, the resolved name leads
// to the held file. Starting it needs no more than reading.
class HeldProgramFile {
public:
    HeldProgramFile() = default;
    HeldProgramFile(std::wstring_view documentsFolder, std::wstring path);

    bool Held() const { return m_file.valid(); }
    HoldResult Result() const
    {
        return Held() ? HoldResult::Held : m_missing ? HoldResult::Missing : HoldResult::CannotHold;
    }
    // The resolved name once held; before, or when it could not be held, the path given.
    const std::wstring& Path() const { return m_path; }
    // The folder of Path().
    std::wstring Folder() const;
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
    bool m_missing = true;
    std::vector<UniqueHandle> m_folders;
    UniqueHandle m_file;
};

// Writes `bytes` as a new file named as `path`'s last component into the folder that
// `path`'s folder resolves to, through a handle that is no link: whatever lay there (a
// file or a link, never a folder) is deleted through its own handle first, and the
// folders are held meanwhile as a held program's are. False with the system's error code
// in `error`.
bool WriteProgramFile(std::wstring_view documentsFolder, const std::wstring& path,
                      const std::vector<std::uint8_t>& bytes, DWORD& error);

} // namespace vl
