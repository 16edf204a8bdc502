// The stand-in kernel's journal of command lines and messages, switched on for a test:
// every kernel started while it lives (also by the control, through the environment it
// inherits) appends to a fresh file.
#pragma once

#include <string>
#include <vector>

#include "temp_folder.h"

namespace vl::test {

class KernelJournal {
public:
    KernelJournal();
    ~KernelJournal();
    KernelJournal(const KernelJournal&) = delete;
    KernelJournal& operator=(const KernelJournal&) = delete;

    // Starts a new journal: what kernels wrote so far is gone.
    void Clear();
    std::vector<std::wstring> Lines() const;
    // The lines that start with "message: ", without that prefix.
    std::vector<std::wstring> Messages() const;

private:
    TempFolder m_folder;
    std::wstring m_path;
};

} // namespace vl::test
