// The object that the page's script knows as "host":
//   host.print(text)     prints a line on standard output
//   host.sleep(ms)       waits, running window messages, timers and events meanwhile;
//   host.pump(ms)        the same (the wait ends early when the page's window is closed)
//   host.exit(code)      the program's exit code once the script has ended
//   host.url             the page's address
//   host.env(name)       an environment variable, null when it is not set
//   host.window          the page's window handle, as a number
//   host.controlWindow   the control's window handle while it is active in place, else 0
//   host.removeControl() takes the control off the page, as a page removes its <object>:
//                        the page's handlers are disconnected and every reference of the
//                        page goes; the script's name for it answers nothing afterwards
//   host.controlModule   the file of the module whose code serves the control (a proxy's
//                        is the platform's COM library), "" without a control
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "com_server/com_object.h"
#include "typeless_dispatch.h"

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

class HostObject final : public ComObjectImpl<HostObject, TypelessDispatch<>> {
public:
    using Interfaces = InterfaceList<Interface<IDispatch>>;

    HostObject(HostServices& services, std::wstring url);
    // The page is going: later calls that need it fail.
    void Detach() { m_services = nullptr; }

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT* argError) override;

private:
    HRESULT Call(DISPID id, const DISPPARAMS& params, VARIANT* result, UINT* argError);

    HostServices* m_services;
    const std::wstring m_url;
};

} // namespace vl::pagehost
