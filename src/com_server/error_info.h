// The failure path of the control's property members, GetVersion, instance creation,
// persistence and self-registration: an exception becomes the thread's error information
// and the call returns DISP_E_EXCEPTION.
#pragma once

#include <windows.h>

#include <string_view>

namespace vl {

// Sets error information with the given description (source: the control's ProgID,
// interface: iid) and returns DISP_E_EXCEPTION.
HRESULT ReportException(REFIID iid, std::wstring_view description);

// Inside a catch block: reports the exception being handled; its message is the
// description (empty when it carries none).
HRESULT ReportCurrentException(REFIID iid);

// Runs body (returning HRESULT); an exception leaving it is reported for iid.
template <typename Body>
HRESULT ReportingExceptions(REFIID iid, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return ReportCurrentException(iid);
    }
}

} // namespace vl
