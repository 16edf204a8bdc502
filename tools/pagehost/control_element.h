// The embedded object as the page's script knows it: an element of the page that hands
// the script's calls to the object. Removing the element from the page lets go of the
// object, as a browser does when a page removes its <object>, even while the script
// still holds the element; calls through it fail afterwards.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "com_server/com_object.h"
#include "support/win_handles.h"

namespace vl::pagehost {

class ControlElement final : public ComObjectImpl<ControlElement, IDispatch> {
public:
    using Interfaces = InterfaceList<Interface<IDispatch>>;

    // E_NOINTERFACE when the object is not scriptable (it has no IDispatch).
    HRESULT Attach(IUnknown* object);
    void Remove() { m_object.reset(); }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

private:
    ComPtr<IDispatch> m_object;
};

} // namespace vl::pagehost
