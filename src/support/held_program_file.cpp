#include "support/held_program_file.h"

#include <utility>

namespace vl {

HeldProgramFile::HeldProgramFile(std::wstring path) : m_path(std::move(path))
{
    if (m_path.empty()) return;
    m_file.reset(::CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool HeldProgramFile::Discard()
{
    Release();
    return !m_path.empty() && ::DeleteFileW(m_path.c_str());
}

} // namespace vl
