#include "step_log.h"

namespace vl::test {

StepLog::StepLog()
{
    m_log.Open(m_folder.File(L"steps.log"), L"w");
    vl::g_pWidgetLog = &m_log;
}

StepLog::~StepLog()
{
    vl::g_pWidgetLog = nullptr;
}

std::string StepLog::Text() const
{
    return ReadFileBytes(m_folder.File(L"steps.log"));
}

std::size_t StepLog::Count(const std::string& text) const
{
    const std::string lines = Text();
    std::size_t count = 0;
    for (std::size_t at = lines.find(text); at != std::string::npos; at = lines.find(text, at + 1)) ++count;
    return count;
}

} // namespace vl::test
