// The object that the page's script knows as "host":
//   host.print(text)     prints a line on standard output
//   host.sleep(ms)       waits, running window messages, timers and events meanwhile;
//   host.pump(ms)        the same (the wait ends early when the page's window is closed)
//   host.exit(code)      ends the page's script at once; code is the program's exit code
//   host.url             the page's address
//   host.env(name)       an environment variable, null when it is not set
//   host.window          the page's window handle, as a number
//   host.controlWindow   the first object's window while it is active in place, else 0
//   host.removeControl() takes the first object off the page, as a page removes its
//                        <object>: the page's handlers are disconnected and every
//                        reference of the page goes; the script's name for it answers
//                        nothing afterwards
//   host.controlModule   the file of the module whose code serves the first object (a
//                        proxy's is the platform's COM library), "" without one
//   host.now()           milliseconds of the performance counter, for timing calls
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "script_members.h"

namespace vl::pagehost {

// What the host object needs from the page.
class HostServices {
public:
    virtual void Wait(DWORD ms) = 0;
    virtual void Exit(int code) = 0;
    virtual HWND Window() const = 0;
    virtual HWND ControlWindow() const = 0;
    virtual void RemoveControl() = 0;
    virtual std::wstring ControlModule() const = 0;

protected:
    ~HostServices() = default;
};

// What host.exit answers the script: an error that ends it at once. A page's own catch
// around the call sees it and must let it go; the page runs no script of its own afterwards
// but its unload handler.
inline constexpr HRESULT kPageEnded = HRESULT_FROM_WIN32(ERROR_CANCELLED);

class HostObject final : public ComObjectImpl<HostObject, ScriptMembers<HostObject>> {
public:
    using Interfaces = InterfaceList<Interface<IDispatch>>;

    enum MemberId : DISPID {
        kPrint = 1, kSleep, kPump, kExit, kUrl, kEnv, kWindow, kControlWindow, kRemoveControl, kControlModule, kNow
    };
    static constexpr ScriptMember kMembers[] = {
        {L"print", kPrint, DISPATCH_METHOD, 0, 1},
        {L"sleep", kSleep, DISPATCH_METHOD, 0, 1},
        {L"pump", kPump, DISPATCH_METHOD, 0, 1},
        {L"exit", kExit, DISPATCH_METHOD, 0, 1},
        {L"url", kUrl, DISPATCH_PROPERTYGET},
        {L"env", kEnv, DISPATCH_METHOD, 1, 1},
        {L"window", kWindow, DISPATCH_PROPERTYGET},
        {L"controlWindow", kControlWindow, DISPATCH_PROPERTYGET},
        {L"removeControl", kRemoveControl, DISPATCH_METHOD},
        {L"controlModule", kControlModule, DISPATCH_PROPERTYGET},
        {L"now", kNow, DISPATCH_METHOD},
    };

    HostObject(HostServices& services, std::wstring url);
    // The page is going: later calls that need it fail.
    void Detach() { m_services = nullptr; }

    HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, UINT* argError);

private:
    HostServices* m_services;
    const std::wstring m_url;
};

} // namespace vl::pagehost
