// Type descriptions taken lazily from the registered type library, once per process and
// shared by every control instance, and the IDispatch of IVLServiceAdapterX built on them.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>
#include <vector>

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/server_module.h"
#include "support/win_handles.h"

namespace vl {

// One type description of a registered library. The first successful load is kept until
// the module's termination list releases it; a failed load keeps nothing, so the next use
// tries again.
class TypeInfoCache {
public:
    TypeInfoCache(const GUID& libid, WORD major, WORD minor, const GUID& guid, ServerModule& module = Module());
    TypeInfoCache(const TypeInfoCache&) = delete;
    TypeInfoCache& operator=(const TypeInfoCache&) = delete;

    // The description with a reference added (ITypeInfo2 where the library offers it).
    HRESULT GetTypeInfo(LCID lcid, ITypeInfo** out);
    // A single member name is looked up in the name cache first, then in the description;
    // a member with its parameter names goes to the description as a whole.
    HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);
    // Dispatches through the description against the vtable of `object`.
    HRESULT Invoke(void* object, DISPID member, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argError);

    // Drops the description and its names (a step of the termination list).
    void Release();

private:
    struct CachedName {
        std::wstring name;
        DISPID id;
    };
    struct Loaded {
        ComPtr<ITypeInfo> info;
        std::vector<CachedName> names; // every function member, in description order
    };

    std::shared_ptr<const Loaded> Load(LCID lcid, HRESULT& hr);
    static std::vector<CachedName> ReadNames(ITypeInfo* info);
    static void ReleaseStep(DWORD_PTR data);

    GUID m_libid;
    WORD m_major;
    WORD m_minor;
    GUID m_guid;
    ServerModule& m_module;
    std::shared_ptr<const Loaded> m_loaded; // guarded by the module's type-information lock
};

// IVLServiceAdapterX, loaded with the locale of its first caller.
TypeInfoCache& AdapterTypeInfo();
// The coclass VLServiceAdapterX, loaded with locale 0, for IProvideClassInfo.
TypeInfoCache& ControlClassTypeInfo();
HRESULT GetControlClassInfo(ITypeInfo** out);

// The IDispatch members of IVLServiceAdapterX, from its registered type description.
namespace adapter_dispatch {
HRESULT GetTypeInfoCount(UINT* count);
// Any index gives the interface's description.
HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out);
HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);
HRESULT Invoke(IVLServiceAdapterX* self, DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* exception, UINT* argError);
} // namespace adapter_dispatch

} // namespace vl
