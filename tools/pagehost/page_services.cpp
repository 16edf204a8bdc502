#include "page_services.h"

#include <docobj.h>
#include <objsafe.h>

#include <utility>

#include "com_server/exception_boundary.h"

namespace vl::pagehost {

namespace {

// The policy key of the step above (documented with urlmon; uuid.lib does not carry it).
constexpr GUID kConfirmObjectSafety = {0x10200490, 0xfa38, 0x11d0, {0xac, 0x0e, 0x00, 0xa0, 0xc9, 0x0f, 0xff, 0xc0}};

HRESULT ReturnPolicy(DWORD value, BYTE** policy, DWORD* policySize)
{
    auto* bytes = static_cast<BYTE*>(::CoTaskMemAlloc(sizeof value));
    if (!bytes) return E_OUTOFMEMORY;
    *reinterpret_cast<DWORD*>(bytes) = value;
    *policy = bytes;
    *policySize = sizeof value;
    return S_OK;
}

} // namespace

HRESULT MakeSafeForUntrustedCallers(IUnknown* object)
{
    ComPtr<IObjectSafety> safety;
    HRESULT hr = object->QueryInterface(IID_IObjectSafety, safety.put_void());
    if (SUCCEEDED(hr))
        hr = safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                               INTERFACESAFE_FOR_UNTRUSTED_CALLER);
    return hr;
}

PageServices::PageServices(ComPtr<IUnknown> document, bool untrustedPage)
    : m_document(std::move(document)), m_untrustedPage(untrustedPage)
{
}

STDMETHODIMP PageServices::QueryService(REFGUID service, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (::IsEqualGUID(service, SID_SInternetHostSecurityManager)) return QueryInterface(iid, out);
    if (::IsEqualGUID(service, SID_SContainerDispatch) && m_document) return m_document->QueryInterface(iid, out);
    return E_NOINTERFACE;
}

STDMETHODIMP PageServices::GetSecurityId(BYTE*, DWORD* size, DWORD_PTR)
{
    if (size) *size = 0;
    return E_NOTIMPL;
}

STDMETHODIMP PageServices::ProcessUrlAction(DWORD action, BYTE* policy, DWORD policySize, BYTE*, DWORD, DWORD, DWORD)
{
    if (!policy || policySize < sizeof(DWORD)) return E_INVALIDARG;
    // The page's zone runs controls; whether a control may be scripted is the next step's.
    const bool allowed = action == URLACTION_ACTIVEX_RUN;
    *reinterpret_cast<DWORD*>(policy) = allowed ? URLPOLICY_ALLOW : URLPOLICY_DISALLOW;
    return allowed ? S_OK : S_FALSE;
}

STDMETHODIMP PageServices::QueryCustomPolicy(REFGUID key, BYTE** policy, DWORD* policySize, BYTE* context,
                                             DWORD contextSize, DWORD)
{
    if (!policy || !policySize) return E_POINTER;
    *policy = nullptr;
    *policySize = 0;
    if (!::IsEqualGUID(key, kConfirmObjectSafety)) return INET_E_DEFAULT_ACTION;
    if (!context || contextSize < sizeof(CONFIRMSAFETY)) return E_INVALIDARG;
    return CatchReturnHresult([&] {
        IUnknown* object = reinterpret_cast<CONFIRMSAFETY*>(context)->pUnk;
        const bool safe = !m_untrustedPage || (object && SUCCEEDED(MakeSafeForUntrustedCallers(object)));
        return ReturnPolicy(safe ? URLPOLICY_ALLOW : URLPOLICY_DISALLOW, policy, policySize);
    });
}

} // namespace vl::pagehost
