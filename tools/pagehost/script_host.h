// The page's script: the platform's JScript engine with the page's named items, errors
// reported with their line, and calls of the script's global functions from the host.
#pragma once

#include <windows.h>
#include <activscp.h>

#include <string>
#include <vector>

#include "com_server/com_object.h"
#include "support/win_handles.h"

namespace vl::pagehost {

class ScriptHost final : public ComObjectImpl<ScriptHost, IActiveScriptSite, IActiveScriptSiteWindow> {
public:
    using Interfaces = InterfaceList<Interface<IActiveScriptSite>, Interface<IActiveScriptSiteWindow>>;

    struct NamedItem {
        std::wstring name;
        ComPtr<IUnknown> object;
        DWORD flags; // SCRIPTITEM_*
    };

    // `window` is the page's window, the owner of anything the engine shows.
    explicit ScriptHost(HWND window);

    // Creates the engine and adds the named items.
    HRESULT Start(std::vector<NamedItem> items);
    // Parses and runs a script text; its errors are reported and counted.
    HRESULT Run(const std::wstring& code);
    // Calls the script's global function `name` with `args` (the last argument first):
    // S_FALSE when the script has no such function. An error inside it is reported and
    // counted like any other.
    HRESULT CallFunction(const std::wstring& name, DISPPARAMS& args, VARIANT* result);
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

private:
    void Report(const std::wstring& text);
    const NamedItem* FindItem(LPCOLESTR name) const;

    const HWND m_window;
    ComPtr<IActiveScript> m_engine;
    ComPtr<IActiveScriptParse> m_parser;
    std::vector<NamedItem> m_items;
    unsigned m_errors = 0;
};

} // namespace vl::pagehost
