// The arguments of an OnResult event as a raiser passes them to a sink: the last argument
// first, the numbers of the given type (VT_UI4 as the control raises them).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "support/win_handles.h"

namespace vl::test {

class ResultEvent {
public:
    ResultEvent(VARTYPE numbers, ULONG cmd, ULONG serial, const std::wstring& params);
    ResultEvent(const ResultEvent&) = delete;
    ResultEvent& operator=(const ResultEvent&) = delete;

    DISPPARAMS& Params() { return m_params; }
    VARIANT* Arguments() { return m_arguments; }

private:
    UniqueBstr m_text;
    VARIANT m_arguments[3];
    DISPPARAMS m_params{};
};

} // namespace vl::test
