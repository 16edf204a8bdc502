// The page's window as script knows it; its members are also the script's globals:
//   alert(text)                      prints a line
//   setTimeout(f, ms[, language])    runs the function f, or the script text f (JScript
//   setInterval(f, ms[, language])   unless language says "VBScript"), after ms, or every ms
//   clearTimeout(id), clearInterval(id)
//   onload, onunload                 the page's load and unload handlers (function objects)
//   document, location
#pragma once

#include <string>

#include "page_timers.h"
#include "script_members.h"
#include "support/win_handles.h"

namespace vl::pagehost {

class WindowObject final : public ComObjectImpl<WindowObject, ScriptMembers<WindowObject>> {
public:
    using Interfaces = InterfaceList<Interface<IDispatch>>;

    enum MemberId : DISPID {
        kAlert = 1, kSetTimeout, kSetInterval, kClearTimeout, kClearInterval, kOnLoad, kOnUnload, kDocument, kLocation
    };
    static constexpr ScriptMember kMembers[] = {
        {L"alert", kAlert, DISPATCH_METHOD, 0, 1},
        {L"setTimeout", kSetTimeout, DISPATCH_METHOD, 1, 3},
        {L"setInterval", kSetInterval, DISPATCH_METHOD, 1, 3},
        {L"clearTimeout", kClearTimeout, DISPATCH_METHOD, 0, 1},
        {L"clearInterval", kClearInterval, DISPATCH_METHOD, 0, 1},
        {L"onload", kOnLoad, kScriptProperty},
        {L"onunload", kOnUnload, kScriptProperty},
        {L"document", kDocument, DISPATCH_PROPERTYGET},
        {L"location", kLocation, DISPATCH_PROPERTYGET},
    };

    WindowObject(PageTimers& timers, ComPtr<IDispatch> document, ComPtr<IDispatch> location);
    // The page is going: no more timers are set.
    void Detach() { m_timers = nullptr; }

    // The handler the page set for onload or onunload, if any.
    ComPtr<IDispatch> Handler(MemberId which) const { return which == kOnLoad ? m_onLoad : m_onUnload; }

    HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, UINT* argError);

private:
    HRESULT SetTimer(const DISPPARAMS& params, bool repeat, VARIANT* result, UINT* argError);

    PageTimers* m_timers;
    const ComPtr<IDispatch> m_document;
    const ComPtr<IDispatch> m_location;
    ComPtr<IDispatch> m_onLoad;
    ComPtr<IDispatch> m_onUnload;
};

} // namespace vl::pagehost
