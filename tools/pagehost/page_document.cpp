#include "page_document.h"

#include <utility>

namespace vl::pagehost {

PageDocument::PageDocument(std::wstring url) : m_url(std::move(url)) {}

STDMETHODIMP PageDocument::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG* eaten, IMoniker** moniker)
{
    if (eaten) *eaten = 0;
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP PageDocument::EnumObjects(DWORD, IEnumUnknown** objects)
{
    if (objects) *objects = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP PageDocument::LockContainer(BOOL)
{
    return S_OK;
}

STDMETHODIMP PageDocument::get_URL(BSTR* url)
{
    if (!url) return E_POINTER;
    *url = nullptr;
    *url = ::SysAllocStringLen(m_url.data(), static_cast<UINT>(m_url.size()));
    return *url ? S_OK : E_OUTOFMEMORY;
}

} // namespace vl::pagehost
