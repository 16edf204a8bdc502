#include "script_host.h"

#include <objsafe.h>

#include <cstdio>
#include <utility>

#include "com_new.h"
#include "console_output.h"

namespace vl::pagehost {

namespace {

// The text of an exception record (or of `hr` when it has none); frees the record's texts.
std::wstring ExceptionText(EXCEPINFO& info, HRESULT hr)
{
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    UniqueBstr description(info.bstrDescription);
    UniqueBstr source(info.bstrSource);
    UniqueBstr helpFile(info.bstrHelpFile);
    const SCODE scode = info.scode ? info.scode : hr;
    info = EXCEPINFO{};
    if (description && ::SysStringLen(description.get()) > 0) return description.str();
    wchar_t code[32];
    std::swprintf(code, std::size(code), L"error 0x%08lX", static_cast<unsigned long>(scode));
    return code;
}

} // namespace

ScriptHost::ScriptHost(HWND window, ScriptLanguage language, ComPtr<IServiceProvider> services)
    : m_window(window), m_language(language), m_services(std::move(services))
{
}

HRESULT ScriptHost::Start(std::vector<NamedItem> items, bool untrustedPage)
{
    CLSID engine{};
    HRESULT hr = ::CLSIDFromProgID(m_language == ScriptLanguage::VBScript ? L"VBScript" : L"JScript", &engine);
    if (SUCCEEDED(hr))
        hr = ::CoCreateInstance(engine, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, m_engine.put_void());
    if (SUCCEEDED(hr)) hr = m_engine.As(m_parser);
    if (SUCCEEDED(hr) && untrustedPage) {
        // What a browser tells the engine of a web page's script: the data is untrusted, and
        // objects are created only as the host's security manager allows.
        constexpr DWORD kWebPage =
            INTERFACESAFE_FOR_UNTRUSTED_DATA | INTERFACE_USES_DISPEX | INTERFACE_USES_SECURITY_MANAGER;
        ComPtr<IObjectSafety> safety;
        hr = m_engine->QueryInterface(IID_IObjectSafety, safety.put_void());
        if (SUCCEEDED(hr)) hr = safety->SetInterfaceSafetyOptions(__uuidof(IActiveScriptParse), kWebPage, kWebPage);
    }
    if (SUCCEEDED(hr)) hr = m_engine->SetScriptSite(this);
    if (SUCCEEDED(hr)) hr = m_parser->InitNew();
    for (NamedItem& item : items) {
        if (SUCCEEDED(hr)) hr = AddItem(std::move(item));
    }
    if (SUCCEEDED(hr)) hr = m_engine->SetScriptState(SCRIPTSTATE_CONNECTED);
    if (FAILED(hr)) Close();
    return hr;
}

HRESULT ScriptHost::AddItem(NamedItem item)
{
    if (!m_engine) return E_UNEXPECTED;
    m_items.push_back(std::move(item));
    const NamedItem& added = m_items.back();
    return m_engine->AddNamedItem(added.name.c_str(), added.flags);
}

HRESULT ScriptHost::Run(const std::wstring& code, ULONG firstLine, bool inPage)
{
    if (!m_parser || m_stopped) return E_UNEXPECTED;
    const unsigned before = m_errors;
    EXCEPINFO info{};
    // A page's script ends at "</script>", which also lets the engine take the "<!--" that
    // old pages put around their code as a comment.
    const HRESULT hr = m_parser->ParseScriptText(code.c_str(), nullptr, nullptr, inPage ? L"</script>" : nullptr, 0,
                                                 firstLine > 0 ? firstLine - 1 : 0, SCRIPTTEXT_ISVISIBLE, nullptr, &info);
    const std::wstring text = ExceptionText(info, hr);
    if (FAILED(hr) && m_errors == before) Report(L"script error: " + text);
    return hr;
}

HRESULT ScriptHost::CallFunction(const std::wstring& name, DISPPARAMS& args, VARIANT* result)
{
    if (!m_engine || m_stopped) return S_FALSE;
    ComPtr<IDispatch> global;
    HRESULT hr = m_engine->GetScriptDispatch(nullptr, global.put());
    if (FAILED(hr)) return hr;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    if (FAILED(global->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return S_FALSE;
    return Invoke(global.get(), id, args, result, name);
}

HRESULT ScriptHost::CallObject(IDispatch* function, DISPPARAMS& args, VARIANT* result, const std::wstring& what)
{
    if (!function || m_stopped) return S_FALSE;
    return Invoke(function, DISPID_VALUE, args, result, what);
}

HRESULT ScriptHost::Invoke(IDispatch* target, DISPID id, DISPPARAMS& args, VARIANT* result, const std::wstring& what)
{
    const unsigned before = m_errors;
    EXCEPINFO info{};
    UINT argError = 0;
    const HRESULT hr =
        target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &args, result, &info, &argError);
    const std::wstring text = ExceptionText(info, hr);
    if (FAILED(hr) && m_errors == before) Report(L"script error in " + what + L": " + text);
    return hr;
}

void ScriptHost::Close()
{
    if (m_engine) m_engine->Close();
    m_parser.reset();
    m_engine.reset();
    m_items.clear();
}

void ScriptHost::Report(const std::wstring& text)
{
    // The end of a page (host.exit) is no error, and neither is what a stopped script says.
    if (m_stopped) return;
    ++m_errors;
    PrintLine(text, OutputStream::Error);
}

const ScriptHost::NamedItem* ScriptHost::FindItem(LPCOLESTR name) const
{
    for (const NamedItem& item : m_items) {
        if (item.name == name) return &item;
    }
    return nullptr;
}

// IActiveScriptSite

STDMETHODIMP ScriptHost::GetLCID(LCID*)
{
    return E_NOTIMPL; // the engine uses the system's locale
}

STDMETHODIMP ScriptHost::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** object, ITypeInfo** typeInfo)
{
    if (!name) return E_INVALIDARG;
    if ((mask & SCRIPTINFO_IUNKNOWN) && !object) return E_POINTER;
    if ((mask & SCRIPTINFO_ITYPEINFO) && !typeInfo) return E_POINTER;
    if (mask & SCRIPTINFO_IUNKNOWN) *object = nullptr;
    if (mask & SCRIPTINFO_ITYPEINFO) *typeInfo = nullptr;
    return CatchReturnHresult([&]() -> HRESULT {
        const NamedItem* item = FindItem(name);
        if (!item) return TYPE_E_ELEMENTNOTFOUND;
        if (mask & SCRIPTINFO_ITYPEINFO) {
            // The class description names the object's event interface; an object without
            // one is still usable, without events bound by the engine.
            ComPtr<IProvideClassInfo> classInfo;
            if (FAILED(item->object.As(classInfo)) || FAILED(classInfo->GetClassInfo(typeInfo))) {
                *typeInfo = nullptr;
                if (!(mask & SCRIPTINFO_IUNKNOWN)) return TYPE_E_ELEMENTNOTFOUND;
            }
        }
        if (mask & SCRIPTINFO_IUNKNOWN) item->object.CopyTo(object);
        return S_OK;
    });
}

STDMETHODIMP ScriptHost::GetDocVersionString(BSTR* version)
{
    if (version) *version = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ScriptHost::OnScriptTerminate(const VARIANT*, const EXCEPINFO*)
{
    return S_OK;
}

STDMETHODIMP ScriptHost::OnStateChange(SCRIPTSTATE)
{
    return S_OK;
}

STDMETHODIMP ScriptHost::OnScriptError(IActiveScriptError* error)
{
    if (!error) return E_POINTER;
    return CatchReturnHresult([&] {
        EXCEPINFO info{};
        error->GetExceptionInfo(&info);
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        std::wstring text = L"script error";
        if (SUCCEEDED(error->GetSourcePosition(&context, &line, &column)))
            text += L" at line " + std::to_wstring(line + 1) + L", column " + std::to_wstring(column + 1);
        text += L": " + ExceptionText(info, E_FAIL);
        UniqueBstr source;
        if (SUCCEEDED(error->GetSourceLineText(source.put())) && source) text += L"\n    " + source.str();
        Report(text);
        return S_OK;
    });
}

STDMETHODIMP ScriptHost::OnEnterScript()
{
    return S_OK;
}

STDMETHODIMP ScriptHost::OnLeaveScript()
{
    return S_OK;
}

// IActiveScriptSiteWindow

STDMETHODIMP ScriptHost::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = m_window;
    return S_OK;
}

STDMETHODIMP ScriptHost::EnableModeless(BOOL)
{
    return S_OK;
}

// IServiceProvider

STDMETHODIMP ScriptHost::QueryService(REFGUID service, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    return m_services ? m_services->QueryService(service, iid, out) : E_NOINTERFACE;
}

} // namespace vl::pagehost
