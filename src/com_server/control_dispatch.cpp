// TVLServiceAdapterXControl's dispatch and class information: IDispatch from the registered
// type library, IProvideClassInfo and IProvideClassInfo2.
#include "com_server/exception_boundary.h"
#include "com_server/service_adapter_control.h"
#include "com_server/type_info_cache.h"

using vl::CatchReturnHresult;
using vl::ComPtr;

// ---------------------------------------------------------------------------------------
// IProvideClassInfo, IProvideClassInfo2

HRESULT TVLServiceAdapterXControl::GetClassInfo(ITypeInfo** info)
{
    return CatchReturnHresult([&] { return vl::GetControlClassInfo(info); });
}

HRESULT TVLServiceAdapterXControl::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid) return E_POINTER;
    if (kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = DIID_IVLServiceAdapterXEvents;
        return S_OK;
    }
    *guid = GUID_NULL;
    return E_FAIL;
}

// ---------------------------------------------------------------------------------------
// IDispatch

HRESULT TVLServiceAdapterXControl::GetTypeInfoCount(UINT* count)
{
    return vl::adapter_dispatch::GetTypeInfoCount(count);
}

HRESULT TVLServiceAdapterXControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info)
{
    return CatchReturnHresult([&] { return vl::adapter_dispatch::GetTypeInfo(index, lcid, info); });
}

HRESULT TVLServiceAdapterXControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    return CatchReturnHresult([&] { return vl::adapter_dispatch::GetIDsOfNames(iid, names, count, lcid, ids); });
}

HRESULT TVLServiceAdapterXControl::Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                          VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    return CatchReturnHresult([&] {
        return vl::adapter_dispatch::Invoke(this, member, iid, lcid, flags, params, result, exception, argError);
    });
}
