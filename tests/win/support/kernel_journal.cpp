#include "kernel_journal.h"

#include <windows.h>

#include "support/ansi_text.h"

namespace vl::test {

KernelJournal::KernelJournal() : m_path(m_folder.File(L"kernel_journal.txt"))
{
    ::SetEnvironmentVariableW(L"VL_KERNEL_LOG", m_path.c_str());
}

KernelJournal::~KernelJournal()
{
    ::SetEnvironmentVariableW(L"VL_KERNEL_LOG", nullptr);
}

void KernelJournal::Clear()
{
    ::DeleteFileW(m_path.c_str());
}

std::vector<std::wstring> KernelJournal::Lines() const
{
    const std::wstring text = vl::AnsiToWide(ReadFileBytes(m_path));
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::vector<std::wstring> KernelJournal::Messages() const
{
    constexpr std::wstring_view kPrefix = L"message: ";
    std::vector<std::wstring> messages;
    for (const std::wstring& line : Lines())
        if (line.starts_with(kPrefix)) messages.push_back(line.substr(kPrefix.size()));
    return messages;
}

} // namespace vl::test
