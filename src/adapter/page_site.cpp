// The hosting page: its address, read from the container's HTML document, and whether its
// script may use the control. A container that hosts untrusted callers (a browser showing
// a web page) gets the control for the portal's own pages only; a trusted local caller (a
// script host, a desktop program) for everything.
#include <mshtml.h>

#include "adapter/VLServiceAdapterImpl.h"
#include "support/portable/portal_page.h"
#include "support/widget_log.h"

std::wstring TVLServiceAdapterXImpl::ReadPageAddress()
{
    // Hosted outside an HTML document the page has no address.
    vl::ComPtr<IOleClientSite> site;
    GetClientSite(site.put());
    vl::ComPtr<IOleContainer> container;
    if (!site || FAILED(site->GetContainer(container.put()))) return {};
    vl::ComPtr<IHTMLDocument2> document;
    if (!container || FAILED(container.As(document))) return {};
    vl::UniqueBstr url;
    if (FAILED(document->get_URL(url.put()))) return {};
    return url.str();
}

bool TVLServiceAdapterXImpl::IsCallerAllowed() noexcept
{
    if (!IsPageAllowed()) return false;
    try {
        // Before the call goes on.
        RegisterKernelServer();
    } catch (...) {
        // The run is not the call's business: the call goes on.
    }
    return true;
}

bool TVLServiceAdapterXImpl::IsPageAllowed() noexcept
{
    if (!HostsUntrustedCallers()) return true;
    try {
        // Read at every call: the page may have navigated, and never taken from the
        // page's own arguments.
        const std::wstring address = ReadPageAddress();
        if (vl::IsPortalPage(address)) return true;
        VL_LOG(L"refused a call of the page [%s].\n", address.c_str());
    } catch (...) {
        // Without an address there is no portal page.
    }
    return false;
}
