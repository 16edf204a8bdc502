#include "script_window.h"

#include <algorithm>
#include <utility>

#include "console_output.h"
#include "dispatch_arguments.h"

namespace vl::pagehost {

WindowObject::WindowObject(PageTimers& timers, ComPtr<IDispatch> document, ComPtr<IDispatch> location)
    : m_timers(&timers), m_document(std::move(document)), m_location(std::move(location))
{
}

HRESULT WindowObject::Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, UINT* argError)
{
    switch (id) {
    case kAlert: {
        std::wstring text;
        const HRESULT hr = params.cArgs > 0 ? ArgumentText(params, 0, text, argError) : S_OK;
        if (SUCCEEDED(hr)) PrintLine(text);
        return hr;
    }
    case kSetTimeout:
    case kSetInterval:
        return SetTimer(params, id == kSetInterval, result, argError);
    case kClearTimeout:
    case kClearInterval: {
        LONG timer = 0;
        const HRESULT hr = ArgumentNumber(params, 0, 0, timer, argError);
        if (SUCCEEDED(hr) && m_timers) m_timers->Remove(timer);
        return hr;
    }
    case kOnLoad:
    case kOnUnload: {
        ComPtr<IDispatch>& handler = id == kOnLoad ? m_onLoad : m_onUnload;
        if (flags & DISPATCH_PROPERTYPUT) return ArgumentObject(params, 0, handler, argError);
        SetObject(result, handler.get());
        return S_OK;
    }
    case kDocument:
    case kLocation:
        SetObject(result, (id == kDocument ? m_document : m_location).get());
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT WindowObject::SetTimer(const DISPPARAMS& params, bool repeat, VARIANT* result, UINT* argError)
{
    if (!m_timers) return E_UNEXPECTED;
    UniqueVariant what;
    HRESULT hr = Argument(params, 0, what, argError);
    ComPtr<IDispatch> function;
    std::wstring code;
    if (SUCCEEDED(hr)) {
        if (V_VT(what.get()) == VT_DISPATCH)
            hr = ArgumentObject(params, 0, function, argError);
        else
            hr = ArgumentText(params, 0, code, argError);
    }
    LONG ms = 0;
    if (SUCCEEDED(hr)) hr = ArgumentNumber(params, 1, 0, ms, argError);
    std::wstring language;
    if (SUCCEEDED(hr) && params.cArgs > 2) hr = ArgumentText(params, 2, language, argError);
    if (FAILED(hr)) return hr;
    const bool vbscript = ::CompareStringOrdinal(language.c_str(), -1, L"VBScript", -1, TRUE) == CSTR_EQUAL;
    SetNumber(result, m_timers->Add(std::move(function), std::move(code),
                                    vbscript ? ScriptLanguage::VBScript : ScriptLanguage::JScript,
                                    static_cast<DWORD>(std::max<LONG>(ms, 0)), repeat));
    return S_OK;
}

} // namespace vl::pagehost
