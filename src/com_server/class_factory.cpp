#include "com_server/class_factory.h"

#include <atomic>

#include "com_server/exception_boundary.h"
#include "com_server/server_module.h"

namespace vl {

HRESULT ClassFactory::Create(InstanceCreator createInstance, REFIID iid, void** out)
{
    return CatchReturnErrorInfo(GUID_NULL, [&] { return CreateComInstance<ClassFactory>(nullptr, iid, out, createInstance); });
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer && !::IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return CatchReturnErrorInfo(GUID_NULL, [&] { return m_createInstance(outer, iid, out); });
}

HRESULT ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        Module().Lock();
    else
        Module().Unlock();
    return S_OK;
}

HRESULT GetClassObject(std::span<ClassObjectEntry> table, REFCLSID clsid, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    for (ClassObjectEntry& entry : table) {
        if (!entry.createFactory || !::IsEqualCLSID(*entry.clsid, clsid)) continue;
        // Other threads may read the cache while one thread fills it.
        std::atomic_ref<IUnknown*> cached(entry.factory);
        IUnknown* factory = cached.load(std::memory_order_acquire);
        if (!factory) {
            CriticalSectionLock lock(Module().ClassObjectLock());
            factory = cached.load(std::memory_order_acquire);
            if (!factory) {
                const HRESULT hr =
                    entry.createFactory(entry.createInstance, IID_IUnknown, reinterpret_cast<void**>(&factory));
                if (FAILED(hr)) return hr;
                cached.store(factory, std::memory_order_release);
            }
        }
        return factory->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

void ReleaseClassObjects(std::span<ClassObjectEntry> table)
{
    for (ClassObjectEntry& entry : table) {
        if (IUnknown* factory = std::atomic_ref<IUnknown*>(entry.factory).exchange(nullptr)) factory->Release();
    }
}

} // namespace vl
