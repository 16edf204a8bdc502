#include "com_server/type_info_cache.h"

#include <cwchar>
#include <new>

#include "com_server/exception_boundary.h"

namespace vl {

TypeInfoCache::TypeInfoCache(const GUID& libid, WORD major, WORD minor, const GUID& guid, ServerModule& module)
    : m_libid(libid), m_major(major), m_minor(minor), m_guid(guid), m_module(module)
{
}

std::vector<TypeInfoCache::CachedName> TypeInfoCache::ReadNames(ITypeInfo* info)
{
    std::vector<CachedName> names;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return names;
    const WORD funcCount = attr->cFuncs;
    info->ReleaseTypeAttr(attr);

    names.reserve(funcCount);
    for (UINT i = 0; i < funcCount; ++i) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(i, &func))) continue;
        const DISPID id = func->memid;
        info->ReleaseFuncDesc(func);
        UniqueBstr name;
        if (SUCCEEDED(info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr)) && name)
            names.push_back({name.str(), id});
    }
    return names;
}

std::shared_ptr<const TypeInfoCache::Loaded> TypeInfoCache::Load(LCID lcid, HRESULT& hr)
{
    CriticalSectionLock lock(m_module.TypeInfoLock());
    hr = S_OK;
    if (m_loaded) return m_loaded;

    hr = CatchReturnHresult([&] {
        ComPtr<ITypeLib> library;
        HRESULT loadHr = ::LoadRegTypeLib(m_libid, m_major, m_minor, lcid, library.put());
        ComPtr<ITypeInfo> info;
        if (SUCCEEDED(loadHr)) loadHr = library->GetTypeInfoOfGuid(m_guid, info.put());
        if (FAILED(loadHr)) return loadHr;
        auto loaded = std::make_shared<Loaded>();
        ComPtr<ITypeInfo2> info2;
        if (SUCCEEDED(info.As(info2)))
            loaded->info = ComPtr<ITypeInfo>(info2.get());
        else
            loaded->info = info;
        loaded->names = ReadNames(loaded->info.get());
        m_loaded = std::move(loaded);
        return loadHr;
    });
    // Every pass, failed or not, leaves a release step: a later successful pass is then
    // certain to be cleaned up at unload.
    m_module.AddTermFunc(&TypeInfoCache::ReleaseStep, reinterpret_cast<DWORD_PTR>(this));
    return m_loaded;
}

void TypeInfoCache::Release()
{
    std::shared_ptr<const Loaded> dropped;
    CriticalSectionLock lock(m_module.TypeInfoLock());
    dropped.swap(m_loaded);
}

void TypeInfoCache::ReleaseStep(DWORD_PTR data)
{
    reinterpret_cast<TypeInfoCache*>(data)->Release();
}

HRESULT TypeInfoCache::GetTypeInfo(LCID lcid, ITypeInfo** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    HRESULT hr;
    const auto loaded = Load(lcid, hr);
    if (!loaded) return hr;
    return loaded->info.CopyTo(out);
}

HRESULT TypeInfoCache::GetIDsOfNames(LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    if (count > 0 && (!names || !ids)) return E_POINTER;
    HRESULT hr;
    const auto loaded = Load(lcid, hr);
    if (!loaded) return hr;

    if (count == 0) return S_OK;
    // Further names are parameters of the first name's member: only the description
    // resolves them, and only together with that member.
    if (count > 1) return loaded->info->GetIDsOfNames(names, count, ids);
    if (!names[0]) return E_POINTER;

    const std::wstring_view name(names[0]);
    for (auto entry = loaded->names.rbegin(); entry != loaded->names.rend(); ++entry) {
        if (entry->name == name) {
            ids[0] = entry->id;
            return S_OK;
        }
    }
    return loaded->info->GetIDsOfNames(names, 1, ids);
}

HRESULT TypeInfoCache::Invoke(void* object, DISPID member, LCID lcid, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    HRESULT hr;
    const auto loaded = Load(lcid, hr);
    if (!loaded) return hr;
    return loaded->info->Invoke(object, member, flags, params, result, exception, argError);
}

TypeInfoCache& AdapterTypeInfo()
{
    static TypeInfoCache cache(LIBID_VLServiceAdapter, kLibraryMajorVersion, kLibraryMinorVersion,
                               IID_IVLServiceAdapterX);
    return cache;
}

TypeInfoCache& ControlClassTypeInfo()
{
    static TypeInfoCache cache(LIBID_VLServiceAdapter, kLibraryMajorVersion, kLibraryMinorVersion,
                               CLSID_VLServiceAdapterX);
    return cache;
}

HRESULT GetControlClassInfo(ITypeInfo** out)
{
    return ControlClassTypeInfo().GetTypeInfo(0, out);
}

namespace adapter_dispatch {

HRESULT GetTypeInfoCount(UINT* count)
{
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT GetTypeInfo(UINT, LCID lcid, ITypeInfo** out)
{
    return AdapterTypeInfo().GetTypeInfo(lcid, out);
}

HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    return AdapterTypeInfo().GetIDsOfNames(names, count, lcid, ids);
}

HRESULT Invoke(IVLServiceAdapterX* self, DISPID member, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    return AdapterTypeInfo().Invoke(self, member, lcid, flags, params, result, exception, argError);
}

} // namespace adapter_dispatch

} // namespace vl
