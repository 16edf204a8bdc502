// The page's document: the container that a control's client site hands out, and the
// HTML document behind it, which tells a control the address of the page it sits on.
#pragma once

#include <windows.h>
#include <oleidl.h>

#include <string>

#include "com_server/com_object.h"
#include "html_document_stub.h"

namespace vl::pagehost {

class PageDocument final : public ComObjectImpl<PageDocument, IOleContainer, HtmlDocumentStub> {
public:
    using Interfaces = InterfaceList<Interface<IOleContainer>, Interface<IParseDisplayName, IOleContainer>,
                                     Interface<IHTMLDocument2, HtmlDocumentStub>,
                                     Interface<IHTMLDocument, HtmlDocumentStub>, Interface<IDispatch, HtmlDocumentStub>>;

    explicit PageDocument(std::wstring url);

    // IParseDisplayName / IOleContainer: a page holds no linkable objects.
    STDMETHODIMP ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override;
    STDMETHODIMP EnumObjects(DWORD, IEnumUnknown**) override;
    STDMETHODIMP LockContainer(BOOL) override;

    // IHTMLDocument2
    STDMETHODIMP get_URL(BSTR* url) override;

private:
    const std::wstring m_url;
};

} // namespace vl::pagehost
