// A program file held open from its publisher check until it has been started.
#pragma once

#include <string>

#include "support/win_handles.h"

namespace vl {

// While held, the file is open for reading and shared for reading only: no other process
// can write, replace, rename or delete it, so the file that starts is the file that was
// checked. Starting it needs no more than reading.
class HeldProgramFile {
public:
    HeldProgramFile() = default;
    // Holds `path`; not held when the file is missing or another process has it open for
    // writing or deleting.
    explicit HeldProgramFile(std::wstring path);

    bool Held() const { return m_file.valid(); }
    const std::wstring& Path() const { return m_path; }

    // Lets go of the file.
    void Release() { m_file.reset(); }
    // Lets go of the file and deletes it; false when it could not be deleted.
    bool Discard();

private:
    std::wstring m_path;
    UniqueHandle m_file;
};

} // namespace vl
