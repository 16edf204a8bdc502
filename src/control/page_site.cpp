// The hosting page: its HTML document, reached from whichever site the container gave the
// control, the page's address, and whether its script may use the control. Wherever the
// control shows in a page (its site leads to an HTML document), or the container said
// that untrusted callers script it, the control serves the portal's own pages only; a
// container without either (a script host, an office macro, a desktop program) is a
// trusted local caller and gets everything.
#include <docobj.h>
#include <mshtml.h>
#include <servprov.h>

#include "control/VLServiceAdapterImpl.h"
#include "support/portable/portal_page.h"
#include "support/widget_log.h"

namespace {

// The HTML document behind a site: the container of a client site (an embedded control's,
// or a browser's site that answers as one), or the container's dispatch that a browser's
// site offers as a service to an object page script created.
vl::ComPtr<IHTMLDocument2> DocumentOfSite(IUnknown* site)
{
    vl::ComPtr<IHTMLDocument2> document;
    if (!site) return document;
    vl::ComPtr<IOleClientSite> clientSite;
    vl::ComPtr<IOleContainer> container;
    if (SUCCEEDED(site->QueryInterface(IID_IOleClientSite, clientSite.put_void())) && clientSite &&
        SUCCEEDED(clientSite->GetContainer(container.put())) && container && SUCCEEDED(container.As(document)) &&
        document)
        return document;
    vl::ComPtr<IServiceProvider> services;
    vl::ComPtr<IDispatch> dispatch;
    if (SUCCEEDED(site->QueryInterface(IID_IServiceProvider, services.put_void())) && services &&
        SUCCEEDED(services->QueryService(SID_SContainerDispatch, IID_IDispatch, dispatch.put_void())) && dispatch &&
        SUCCEEDED(dispatch.As(document)) && document)
        return document;
    return nullptr;
}

// The page's document from the client site, else from the site given through
// IObjectWithSite; null when the control is not in a page.
vl::ComPtr<IHTMLDocument2> FindPageDocument(TVLServiceAdapterXImpl& control)
{
    vl::ComPtr<IOleClientSite> clientSite;
    control.GetClientSite(clientSite.put());
    if (auto document = DocumentOfSite(clientSite.get())) return document;
    vl::ComPtr<IUnknown> objectSite;
    control.GetSite(IID_IUnknown, objectSite.put_void());
    return DocumentOfSite(objectSite.get());
}

} // namespace

std::wstring TVLServiceAdapterXImpl::ReadPageAddress()
{
    const vl::ComPtr<IHTMLDocument2> document = FindPageDocument(*this);
    vl::UniqueBstr url;
    if (!document || FAILED(document->get_URL(url.put()))) return {};
    return url.str();
}

bool TVLServiceAdapterXImpl::IsSiteLockInForce()
{
    // A page shown in a container that never set the safety option (an embedded browser
    // whose zone allows every control) is as untrusted as any other web page.
    return HostsUntrustedCallers() || FindPageDocument(*this);
}

bool TVLServiceAdapterXImpl::IsCallerAllowed() noexcept
{
    if (!IsPageAllowed()) return false;
    m_core->OnCallAllowed();
    return true;
}

bool TVLServiceAdapterXImpl::IsPageAllowed() noexcept
{
    // Without an address there is no portal page.
    return vl::CatchReturn(false, [&] {
        if (!IsSiteLockInForce()) return true;
        // Read at every call: the page may have navigated, and never taken from the
        // page's own arguments.
        const std::wstring address = ReadPageAddress();
        if (vl::IsPortalPage(address, m_core->InDevelopmentMode())) return true;
        VL_LOG(L"refused a call of the page [%s].\n", address.c_str());
        return false;
    });
}
