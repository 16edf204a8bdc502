// A fresh folder under the temporary folder, removed with its contents afterwards.
#pragma once

#include <string>

namespace vl::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    // A name inside the folder.
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// The whole content of a file, as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
// Creates or replaces the file with `bytes`; true when all were written.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

} // namespace vl::test
