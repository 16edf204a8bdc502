// The page's document as script reaches it: document.getElementById(id) (the element of an
// <object> of the page, or null), document.write(html) and writeln(html) (the text a
// reader sees of it printed as a line each), and document.location and document.URL.
#pragma once

#include <functional>
#include <string>

#include "script_members.h"
#include "support/win_handles.h"

namespace vl::pagehost {

class DocumentObject final : public ComObjectImpl<DocumentObject, ScriptMembers<DocumentObject>> {
public:
    using Interfaces = InterfaceList<Interface<IDispatch>>;

    enum MemberId : DISPID { kGetElementById = 1, kWrite, kWriteLine, kLocation, kUrl };
    static constexpr ScriptMember kMembers[] = {
        {L"getElementById", kGetElementById, DISPATCH_METHOD, 1, 1},
        {L"write", kWrite, DISPATCH_METHOD, 0, 1},
        {L"writeln", kWriteLine, DISPATCH_METHOD, 0, 1},
        {L"location", kLocation, DISPATCH_PROPERTYGET},
        {L"URL", kUrl, DISPATCH_PROPERTYGET},
    };

    using ElementFinder = std::function<ComPtr<IDispatch>(const std::wstring& id)>;

    DocumentObject(ComPtr<IDispatch> location, std::wstring url, ElementFinder findElement);
    // The page is going: elements are no longer found.
    void Detach() { m_findElement = nullptr; }

    HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, UINT* argError);

private:
    const ComPtr<IDispatch> m_location;
    const std::wstring m_url;
    ElementFinder m_findElement;
};

} // namespace vl::pagehost
