// The page's handlers of one object's events, bound the ways pages bind them:
//   - <script for="id" event="OnResult(cmd, serial, params)">: a function of the page's
//     (the block's code, made a function of those parameters);
//   - id.attachEvent("OnResult", handler) and detachEvent: a script's function object;
//   - by name: VBScript's Sub id_OnResult(...), and for .js pages a global function of the
//     event's own name, function OnResult(cmd, serial, params).
// Raising an event runs each of them with the event's arguments.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

#include "script_host.h"
#include "support/win_handles.h"

namespace vl::pagehost {

class EventHandlers {
public:
    // The engine that reports errors of attached function objects; `onRaise` runs at
    // each event, before its handlers.
    EventHandlers(ComPtr<ScriptHost> reporter, std::function<void()> onRaise);

    // The function `function` of `engine` handles `event`.
    void AddFunction(const std::wstring& event, ComPtr<ScriptHost> engine, std::wstring function);
    // `engine`'s function named `prefix` followed by an event's name handles that event.
    void AddNamingRule(ComPtr<ScriptHost> engine, std::wstring prefix);
    void Attach(const std::wstring& event, ComPtr<IDispatch> function);
    // False when `function` was not attached to `event`.
    bool Detach(const std::wstring& event, IDispatch* function);

    // Runs the handlers of `event`; `takeResult` gets each handler's return value.
    void Raise(const std::wstring& event, DISPPARAMS& args, const std::function<void(VARIANT&)>& takeResult);

private:
    struct Named {
        std::wstring event; // empty for a naming rule
        ComPtr<ScriptHost> engine;
        std::wstring function;
    };
    struct Attached {
        std::wstring event;
        ComPtr<IDispatch> function;
    };

    const ComPtr<ScriptHost> m_reporter;
    const std::function<void()> m_onRaise;
    std::vector<Named> m_named;
    std::vector<Attached> m_attached;
};

} // namespace vl::pagehost
