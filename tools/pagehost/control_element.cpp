#include "control_element.h"

namespace vl::pagehost {

HRESULT ControlElement::Attach(IUnknown* object)
{
    return object->QueryInterface(IID_IDispatch, m_object.put_void());
}

STDMETHODIMP ControlElement::GetTypeInfoCount(UINT* count)
{
    if (!m_object) return E_UNEXPECTED;
    return m_object->GetTypeInfoCount(count);
}

STDMETHODIMP ControlElement::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info)
{
    if (!m_object) return E_UNEXPECTED;
    return m_object->GetTypeInfo(index, lcid, info);
}

STDMETHODIMP ControlElement::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    if (!m_object) return E_UNEXPECTED;
    return m_object->GetIDsOfNames(iid, names, count, lcid, ids);
}

// The call holds no reference of its own: a handler that removes the element inside it
// leaves the object with whatever references it keeps for itself.
STDMETHODIMP ControlElement::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    IDispatch* object = m_object.get();
    if (!object) return E_UNEXPECTED;
    return object->Invoke(id, iid, lcid, flags, params, result, exception, argError);
}

} // namespace vl::pagehost
