// The values that pages save through the kernel, kept in a file of the home folder so that
// they survive a restart. One line per value, "key=value" in the ANSI code page (the code
// page of the pipe messages, so every value received can be written), with "%", "=", CR and
// LF written as "%25", "%3D", "%0D" and "%0A", and a line of a key alone where a value was
// cleared. A change is one line appended to the file, the later line of a key counting, so a
// crash cuts at most the last line, which is then ignored; once the file holds far more
// lines than values it is rewritten through a temporary file.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>

#include "support/win_handles.h"

namespace vl {

class KernelStore {
public:
    // Reads the file when it exists; a missing or unreadable file is an empty store.
    explicit KernelStore(std::wstring path);

    // False when the file could not be written; the value is then held in memory only.
    bool Save(const std::wstring& key, const std::wstring& value);
    // Empty when the key has no value.
    std::wstring Load(const std::wstring& key) const;
    bool Clear(const std::wstring& key);

private:
    bool Append(const std::string& line);
    bool Rewrite();

    std::wstring m_path;
    mutable std::mutex m_mutex;
    std::map<std::wstring, std::wstring> m_values;
    // The file opened for appending, and the lines it holds.
    UniqueHandle m_file;
    std::size_t m_lines = 0;
    // The file may end in a cut line: it is rewritten before anything is appended.
    bool m_rewriteDue = false;
};

} // namespace vl
