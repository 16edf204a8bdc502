// The values that pages save through the kernel, kept in a file of the home folder so that
// they survive a restart. One line per value, "key=value" in the ANSI code page (the code
// page of the pipe messages, so every value received can be written), with "%", "=", CR and
// LF written as "%25", "%3D", "%0D" and "%0A". Every change rewrites the file through a
// temporary file, so a crash leaves either the old or the new contents.
#pragma once

#include <map>
#include <mutex>
#include <string>

namespace vl {

class KernelStore {
public:
    // Reads the file when it exists; a missing or unreadable file is an empty store.
    explicit KernelStore(std::wstring path);

    // False when the file could not be rewritten; the value is then held in memory only.
    bool Save(const std::wstring& key, const std::wstring& value);
    // Empty when the key has no value.
    std::wstring Load(const std::wstring& key) const;
    bool Clear(const std::wstring& key);

private:
    bool Persist() const;

    std::wstring m_path;
    mutable std::mutex m_mutex;
    std::map<std::wstring, std::wstring> m_values;
};

} // namespace vl
