// The control's step log, installed for one test and read back.
#pragma once

#include <string>

#include "support/widget_log.h"
#include "temp_folder.h"

namespace vl::test {

class StepLog {
public:
    // Installs a log writer to a fresh file; the destructor takes it away again.
    StepLog();
    ~StepLog();
    StepLog(const StepLog&) = delete;
    StepLog& operator=(const StepLog&) = delete;

    // How many records so far contain `text`.
    std::size_t Count(const std::string& text) const;
    std::string Text() const;

private:
    TempFolder m_folder;
    vl::CVLWidgetLog m_log;
};

} // namespace vl::test
