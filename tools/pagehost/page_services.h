// What the page offers the script engines and the objects that page script creates, as a
// browser's page does: the host security manager, through which a web page's engine asks
// before it creates an object (new ActiveXObject, CreateObject) and which tells the new
// object, as a browser tells an <object> of a web page, that untrusted callers script it;
// and the page's document, the service SID_SContainerDispatch, through which an object
// that got the page's site (IObjectWithSite) finds the page and its address.
#pragma once

#include <windows.h>
#include <servprov.h>
#include <urlmon.h>

#include "com_server/com_object.h"
#include "support/win_handles.h"

namespace vl::pagehost {

// What a browser does before a web page's script may touch an object: tells it through
// IObjectSafety that untrusted callers script its IDispatch. Fails for an object that is
// not safe for scripting.
HRESULT MakeSafeForUntrustedCallers(IUnknown* object);

class PageServices final : public ComObjectImpl<PageServices, IServiceProvider, IInternetHostSecurityManager> {
public:
    using Interfaces = InterfaceList<Interface<IServiceProvider>, Interface<IInternetHostSecurityManager>>;

    // `document` is the page's HTML document; `untrustedPage`: the page is a web page.
    PageServices(ComPtr<IUnknown> document, bool untrustedPage);

    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;
    // IInternetHostSecurityManager
    STDMETHODIMP GetSecurityId(BYTE* id, DWORD* size, DWORD_PTR) override;
    STDMETHODIMP ProcessUrlAction(DWORD action, BYTE* policy, DWORD policySize, BYTE*, DWORD, DWORD, DWORD) override;
    STDMETHODIMP QueryCustomPolicy(REFGUID key, BYTE** policy, DWORD* policySize, BYTE* context, DWORD contextSize,
                                   DWORD) override;

private:
    const ComPtr<IUnknown> m_document;
    const bool m_untrustedPage;
};

} // namespace vl::pagehost
