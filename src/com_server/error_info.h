// The failure path of the control's property members, GetVersion, instance creation,
// persistence and self-registration: a failure becomes the thread's error information and
// the call returns DISP_E_EXCEPTION (CatchReturnErrorInfo, exception_boundary.h, for a throw).
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

} // namespace vl
