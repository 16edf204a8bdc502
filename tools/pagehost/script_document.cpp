#include "script_document.h"

#include <utility>

#include "console_output.h"
#include "dispatch_arguments.h"
#include "pagehost/portable/html_page.h"

namespace vl::pagehost {

DocumentObject::DocumentObject(ComPtr<IDispatch> location, std::wstring url, ElementFinder findElement)
    : m_location(std::move(location)), m_url(std::move(url)), m_findElement(std::move(findElement))
{
}

HRESULT DocumentObject::Call(DISPID id, WORD, const DISPPARAMS& params, VARIANT* result, UINT* argError)
{
    std::wstring text;
    switch (id) {
    case kGetElementById: {
        const HRESULT hr = ArgumentText(params, 0, text, argError);
        if (FAILED(hr)) return hr;
        const ComPtr<IDispatch> element = m_findElement ? m_findElement(text) : ComPtr<IDispatch>();
        SetObject(result, element.get());
        return S_OK;
    }
    case kWrite:
    case kWriteLine: {
        const HRESULT hr = params.cArgs > 0 ? ArgumentText(params, 0, text, argError) : S_OK;
        // What a reader of the page would see of the HTML written.
        if (SUCCEEDED(hr)) PrintLine(TextOfHtml(text));
        return hr;
    }
    case kLocation:
        SetObject(result, m_location.get());
        return S_OK;
    case kUrl:
        return SetText(result, m_url);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace vl::pagehost
