// Raising the control's events on the page's sinks, and the relay of the form's own
// events to them.
#pragma once

#include <windows.h>
#include <oleauto.h>

class TVLServiceAdapterX;

namespace vl {
class EventConnectionPoint;
}

// The raising operations of IVLServiceAdapterXEvents. Each event goes to the sinks of the
// event connection point, slot by slot, synchronously: a sink's handler may call the
// control again or connect and disconnect sinks meanwhile. Failing sinks are ignored.
class CProxyIVLServiceAdapterXEvents {
public:
    void Fire_OnActivate();
    void Fire_OnClick();
    void Fire_OnCreate();
    void Fire_OnDblClick();
    void Fire_OnDestroy();
    void Fire_OnDeactivate();
    // The sinks may change *Key.
    void Fire_OnKeyPress(short* Key);
    void Fire_OnMouseEnter();
    void Fire_OnMouseLeave();
    void Fire_OnPaint();
    // `szParams` is passed as it is, not copied.
    void Fire_OnResult(ULONG dwCmd, ULONG dwSerialNum, BSTR szParams);

protected:
    CProxyIVLServiceAdapterXEvents() = default;
    ~CProxyIVLServiceAdapterXEvents() = default;

    // The point whose sinks receive the events; null when there is none (any more).
    virtual vl::EventConnectionPoint* EventSinks() = 0;

private:
    void Raise(DISPID dispid, VARIANTARG* arguments, UINT count, VARIANT* result);
};

namespace vl {

// Connects the form's ten events to the raising operations, replacing the form's own
// handlers. The key character is sign-extended for the page, and the low 8 bits of what
// the page leaves become the form's character.
void RelayFormEvents(TVLServiceAdapterX& form, CProxyIVLServiceAdapterXEvents& events);

} // namespace vl
