// The property members of IVLServiceAdapterX, which read and write the form's
// properties, and the handling of the container's ambient properties.
#include "com_server/service_adapter_control.h"

// Not implemented yet: every member answers E_NOTIMPL.
#define VL_PUT_RW(Name, T)                                          \
    HRESULT TVLServiceAdapterXControl::put_##Name(T)                \
    {                                                               \
        return E_NOTIMPL;                                           \
    }
#define VL_PUT_RO(Name, T)
#define VL_PROPERTY(dispid, Name, T, access, hidden)                \
    HRESULT TVLServiceAdapterXControl::get_##Name(T*)               \
    {                                                               \
        return E_NOTIMPL;                                           \
    }                                                               \
    VL_PUT_##access(Name, T)
#define VL_FONT_PROPERTY(dispid, Name)                              \
    HRESULT TVLServiceAdapterXControl::get_##Name(IFontDisp**)      \
    {                                                               \
        return E_NOTIMPL;                                           \
    }                                                               \
    HRESULT TVLServiceAdapterXControl::put_##Name(IFontDisp*)       \
    {                                                               \
        return E_NOTIMPL;                                           \
    }                                                               \
    HRESULT TVLServiceAdapterXControl::putref_##Name(IFontDisp**)   \
    {                                                               \
        return E_NOTIMPL;                                           \
    }
#define VL_METHOD(dispid, Name, params)
VL_MEMBERS
#undef VL_PROPERTY
#undef VL_FONT_PROPERTY
#undef VL_METHOD
#undef VL_PUT_RW
#undef VL_PUT_RO

// Called for every IOleControl::OnAmbientPropertyChange (DISPID_UNKNOWN: all of them).
HRESULT TVLServiceAdapterXControl::ApplyAmbientProperties(DISPID)
{
    return S_OK;
}
