// A script engine of the page (JScript or VBScript) with the page's named items, errors
// reported with their line, and calls of the script's functions from the host. Its site
// hands the engine the page's services (the host security manager that lets script create
// objects as a browser does, and the page's document).
#pragma once

#include <windows.h>
#include <activscp.h>
#include <servprov.h>

#include <string>
#include <vector>

#include "com_server/com_object.h"
#include "pagehost/portable/html_page.h"
#include "support/win_handles.h"

namespace vl::pagehost {

class ScriptHost final
    : public ComObjectImpl<ScriptHost, IActiveScriptSite, IActiveScriptSiteWindow, IServiceProvider> {
public:
    using Interfaces = InterfaceList<Interface<IActiveScriptSite>, Interface<IActiveScriptSiteWindow>,
                                     Interface<IServiceProvider>>;

    struct NamedItem {
        std::wstring name;
        ComPtr<IUnknown> object;
        DWORD flags; // SCRIPTITEM_*
    };

    // `window` is the page's window, the owner of anything the engine shows; `services`,
    // when given, answers the engine's (and its objects') requests for page services.
    ScriptHost(HWND window, ScriptLanguage language = ScriptLanguage::JScript,
               ComPtr<IServiceProvider> services = {});

    // Creates the engine, as a browser does for a web page when `untrustedPage` (the engine
    // then asks the host's security manager before it creates an object), and adds the
    // named items.
    HRESULT Start(std::vector<NamedItem> items, bool untrustedPage = false);
    HRESULT AddItem(NamedItem item);
    // Parses and runs a script text whose first line is the page's line `firstLine`; its
    // errors are reported and counted. `inPage`: the text stood in an HTML page's <script>.
    HRESULT Run(const std::wstring& code, ULONG firstLine = 1, bool inPage = false);
    // Calls the script's global function `name` with `args` (the last argument first):
    // S_FALSE when the script has no such function. An error inside it is reported and
    // counted like any other.
    HRESULT CallFunction(const std::wstring& name, DISPPARAMS& args, VARIANT* result);
    // Calls a function object of this engine's script (`what` names it in a report).
    HRESULT CallObject(IDispatch* function, DISPPARAMS& args, VARIANT* result, const std::wstring& what);
    // While stopped nothing of the script runs and nothing more is reported.
    void SetStopped(bool stopped) { m_stopped = stopped; }
    // Closes the engine, which lets go of the named items.
    void Close();
    // The script errors reported so far.
    unsigned Errors() const { return m_errors; }

    // IActiveScriptSite
    STDMETHODIMP GetLCID(LCID* lcid) override;
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** object, ITypeInfo** typeInfo) override;
    STDMETHODIMP GetDocVersionString(BSTR* version) override;
    STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override;
    STDMETHODIMP OnStateChange(SCRIPTSTATE) override;
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override;
    STDMETHODIMP OnEnterScript() override;
    STDMETHODIMP OnLeaveScript() override;
    // IActiveScriptSiteWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP EnableModeless(BOOL) override;
    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;

private:
    HRESULT Invoke(IDispatch* target, DISPID id, DISPPARAMS& args, VARIANT* result, const std::wstring& what);
    void Report(const std::wstring& text);
    const NamedItem* FindItem(LPCOLESTR name) const;

    const HWND m_window;
    const ScriptLanguage m_language;
    const ComPtr<IServiceProvider> m_services;
    ComPtr<IActiveScript> m_engine;
    ComPtr<IActiveScriptParse> m_parser;
    std::vector<NamedItem> m_items;
    unsigned m_errors = 0;
    bool m_stopped = false;
};

} // namespace vl::pagehost
