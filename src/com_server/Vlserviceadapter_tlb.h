// The C++ side of the control's type library: GUIDs, enumerations, the dual interface
// IVLServiceAdapterX and the DISPIDs of the interface and of IVLServiceAdapterXEvents,
// all expanded from the contract (contract/portable/VLServiceAdapter_contract.inc). The
// result codes are the contract layer's own (result_codes.h).
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "contract/portable/VLServiceAdapter_contract.inc"
#include "contract/portable/result_codes.h"

#define VL_MAKE_GUID_(l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    GUID { l, w1, w2, { b1, b2, b3, b4, b5, b6, b7, b8 } }
#define VL_GUID(...) VL_MAKE_GUID_(__VA_ARGS__)
#define VL_UUID_DECL(type, ...) __CRT_UUID_DECL(type, __VA_ARGS__)
#define VL_UNPAREN(...) __VA_ARGS__

inline constexpr GUID LIBID_VLServiceAdapter = VL_GUID(VL_LIBID);
inline constexpr IID IID_IVLServiceAdapterX = VL_GUID(VL_IID_INTERFACE);
inline constexpr IID DIID_IVLServiceAdapterXEvents = VL_GUID(VL_DIID_EVENTS);
inline constexpr CLSID CLSID_VLServiceAdapterX = VL_GUID(VL_CLSID_CONTROL);
inline constexpr WORD kLibraryMajorVersion = 1;
inline constexpr WORD kLibraryMinorVersion = 0;
// The library describes the module's own platform: the 64-bit twin's is registered as the
// win64 entry beside the 32-bit module's win32 entry of the same version.
#ifdef _WIN64
inline constexpr SYSKIND kLibrarySysKind = SYS_WIN64;
#else
inline constexpr SYSKIND kLibrarySysKind = SYS_WIN32;
#endif

// The properties' enumerations.
#define VL_CONST(name, value) name = value
#define VL_ENUM(Name, guid, constantHelp, constants) enum Name : LONG { VL_UNPAREN constants };
VL_PROPERTY_ENUMS
#undef VL_ENUM
#undef VL_CONST

// The dual interface, in vtable order.
#define VL_IN(T, name) T name
#define VL_RETVAL(T, name) T* name
#define VL_PUT_RW(Name, T) virtual HRESULT STDMETHODCALLTYPE put_##Name(T Value) = 0;
#define VL_PUT_RO(Name, T)
#define VL_PROPERTY(dispid, Name, T, access, hidden)                  \
    virtual HRESULT STDMETHODCALLTYPE get_##Name(T* Value) = 0; \
    VL_PUT_##access(Name, T)
#define VL_FONT_PROPERTY(dispid, Name)                                         \
    virtual HRESULT STDMETHODCALLTYPE get_##Name(IFontDisp** Value) = 0; \
    virtual HRESULT STDMETHODCALLTYPE put_##Name(IFontDisp* Value) = 0;  \
    virtual HRESULT STDMETHODCALLTYPE putref_##Name(IFontDisp** Value) = 0;
#define VL_METHOD(dispid, Name, params) virtual HRESULT STDMETHODCALLTYPE Name params = 0;

struct IVLServiceAdapterX : public IDispatch {
    VL_MEMBERS
};
VL_UUID_DECL(IVLServiceAdapterX, VL_IID_INTERFACE)

#undef VL_PROPERTY
#undef VL_FONT_PROPERTY
#undef VL_METHOD
#undef VL_PUT_RW
#undef VL_PUT_RO
#undef VL_IN
#undef VL_RETVAL

namespace vl {

// DISPIDs of the members of IVLServiceAdapterX.
namespace dispid {
#define VL_PROPERTY(id, Name, T, access, hidden) inline constexpr DISPID Name = id;
#define VL_FONT_PROPERTY(id, Name) inline constexpr DISPID Name = id;
#define VL_METHOD(id, Name, params) inline constexpr DISPID Name = id;
VL_MEMBERS
#undef VL_PROPERTY
#undef VL_FONT_PROPERTY
#undef VL_METHOD
} // namespace dispid

// DISPIDs of the events of IVLServiceAdapterXEvents.
namespace event_dispid {
#define VL_EVENT(id, Name, result, params) inline constexpr DISPID Name = id;
VL_EVENTS
#undef VL_EVENT
} // namespace event_dispid

} // namespace vl
