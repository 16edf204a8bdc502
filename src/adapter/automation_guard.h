// The boundary of the page's method calls: a null result pointer is refused, and nothing
// thrown inside (an allocation failure) leaves the method; the page gets a failure value.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "com_server/Vlserviceadapter_tlb.h"

namespace vl {

inline void SetFailureResult(ULONG* out)
{
    *out = VLS_FAIL;
}

inline void SetFailureResult(BSTR* out)
{
    *out = ::SysAllocString(L"Failure");
}

// What a page that may not use the control gets.
inline void SetDeniedResult(ULONG* out)
{
    *out = VLS_PERMISSION_DENIED;
}

inline void SetDeniedResult(BSTR* out)
{
    SetFailureResult(out);
}

template <typename Out, typename Body>
HRESULT GuardedMethod(Out* out, Body&& body)
{
    if (!out) return E_POINTER;
    try {
        return body();
    } catch (...) {
        SetFailureResult(out);
        return S_FALSE;
    }
}

template <typename Body>
HRESULT GuardedMethod(Body&& body)
{
    try {
        return body();
    } catch (...) {
        return S_FALSE;
    }
}

} // namespace vl
