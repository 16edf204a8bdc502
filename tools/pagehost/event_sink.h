// The page's sink of an object's events and property-change notices: each event runs the
// page's handlers of it (event_handlers.h). Unsigned and small integers reach the script
// as numbers. An event that hands over a reference (OnKeyPress's key) takes a handler's
// return value, when it returns one, as the new value behind the reference.
// Property-change notices are raised as the event "OnChanged" with the property's DISPID
// (requests to change are granted): a .js page's function OnChanged(dispid) hears them.
// This, not the engine's own binding of "function control::OnResult()", is how events
// reach the page: Wine's JScript binds such functions only to objects that offer
// IBindEventHandler, which controls do not, and fails the whole script otherwise.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <memory>

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/com_object.h"
#include "event_handlers.h"
#include "support/win_handles.h"
#include "typeless_dispatch.h"

namespace vl::pagehost {

class EventSink final : public ComObjectImpl<EventSink, TypelessDispatch<>, IPropertyNotifySink> {
public:
    // The control's event interface answers with the sink's IDispatch.
    struct EventInterface {
        template <typename T>
        static IUnknown* Of(T* self)
        {
            return static_cast<IDispatch*>(self);
        }
        template <typename T>
        static bool Match(T* self, REFIID iid, void** out)
        {
            if (!::IsEqualIID(iid, DIID_IVLServiceAdapterXEvents)) return false;
            *out = static_cast<IDispatch*>(self);
            return true;
        }
    };
    using Interfaces = InterfaceList<Interface<IDispatch>, EventInterface, Interface<IPropertyNotifySink>>;

    explicit EventSink(std::shared_ptr<EventHandlers> handlers);

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override;
    STDMETHODIMP OnChanged(DISPID id) override;
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }

private:
    HRESULT Raise(DISPID id, const DISPPARAMS& params, VARIANT* result);

    const std::shared_ptr<EventHandlers> m_handlers;
};

// The sink's connection to an object's event connection point, undone when it goes.
class EventConnection {
public:
    EventConnection() = default;
    ~EventConnection() { Disconnect(); }
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;

    // Connects `sink` to the connection point of `source` for `iid` (the control's event
    // interface unless said); CONNECT_E_NOCONNECTION when the object has no such point.
    HRESULT Connect(IUnknown* source, IUnknown* sink, REFIID iid = DIID_IVLServiceAdapterXEvents);
    void Disconnect();

private:
    ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};

} // namespace vl::pagehost
