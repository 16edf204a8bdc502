// The OLE and data advise holders of the control, made on the first Advise: until then
// they answer as holders without connections.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "support/win_handles.h"

namespace vl {

template <typename Holder>
HRESULT UnadviseFrom(const ComPtr<Holder>& holder, DWORD connection)
{
    return holder ? holder->Unadvise(connection) : OLE_E_NOCONNECTION;
}

template <typename Holder>
HRESULT EnumAdviseOf(const ComPtr<Holder>& holder, IEnumSTATDATA** advise)
{
    if (!advise) return E_POINTER;
    *advise = nullptr;
    return holder ? holder->EnumAdvise(advise) : S_OK; // no connections: no enumerator
}

} // namespace vl
