// An object of the page as the page's script knows it: an element of the page that hands
// the script's calls to the object, and answers attachEvent, detachEvent and `object` (the
// object itself, or null) itself, as a browser's object element does. An element without an object (one that could not be
// created, or was removed) answers no other name, which script sees as "Object doesn't
// support this property or method" (0x800A01B6). Removing the element from the page lets
// go of the object, as a browser does when a page removes its <object>, even while the
// script still holds the element.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "com_server/com_object.h"
#include "event_handlers.h"
#include "support/win_handles.h"

namespace vl::pagehost {

class ControlElement final : public ComObjectImpl<ControlElement, IDispatch> {
public:
    using Interfaces = InterfaceList<Interface<IDispatch>>;

    explicit ControlElement(std::shared_ptr<EventHandlers> handlers);

    // E_NOINTERFACE when the object is not scriptable (it has no IDispatch).
    HRESULT Attach(IUnknown* object);
    void Remove() { m_object.reset(); }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

private:
    HRESULT ReadObject(WORD flags, const DISPPARAMS* params, VARIANT* result);
    HRESULT BindEvent(DISPID id, const DISPPARAMS& params, VARIANT* result, UINT* argError);

    const std::shared_ptr<EventHandlers> m_handlers;
    ComPtr<IDispatch> m_object;
};

} // namespace vl::pagehost
