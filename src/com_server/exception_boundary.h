// Where a throw stops. Nothing thrown may leave a COM method, a window procedure, a timer
// or wait callback or a thread; each such boundary runs its body through one of these,
// named by what the caller gets when the body throws:
//   CatchReturnHresult      E_OUTOFMEMORY for an allocation failure, E_UNEXPECTED otherwise
//   CatchReturnErrorInfo    DISP_E_EXCEPTION, with the thread's error information describing it
//   CatchReturnPageFailure  the page's failure result in *out (VLS_FAIL or "Failure"), S_FALSE
//   CatchReturn             the value given
//   CatchIgnore             nothing: the caller has nobody to tell (window procedures, hooks,
//                           event sinks, threads)
// The last two need no platform types and are defined in support/portable/exception_boundary.h,
// for the code below the COM server and the platform-neutral code.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/error_info.h"
#include "support/portable/exception_boundary.h"

namespace vl {

template <typename Body>
HRESULT CatchReturnHresult(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The description is the exception's message (empty when it carries none); interface: iid.
template <typename Body>
HRESULT CatchReturnErrorInfo(REFIID iid, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return ReportCurrentException(iid);
    }
}

inline void SetFailureResult(ULONG* out)
{
    *out = VLS_FAIL;
}

inline void SetFailureResult(BSTR* out)
{
    *out = ::SysAllocString(L"Failure");
}

// A null `out` is refused with E_POINTER before the body runs.
template <typename Out, typename Body>
HRESULT CatchReturnPageFailure(Out* out, Body&& body) noexcept
{
    if (!out) return E_POINTER;
    try {
        return body();
    } catch (...) {
        SetFailureResult(out);
        return S_FALSE;
    }
}

} // namespace vl
