#include "control_element.h"

#include <utility>

#include "com_server/exception_boundary.h"
#include "dispatch_arguments.h"

namespace vl::pagehost {

namespace {

// The element's own members, beyond any the object may have.
constexpr DISPID kAttachEvent = 0x7FFFFF01;
constexpr DISPID kDetachEvent = 0x7FFFFF02;
constexpr DISPID kObject = 0x7FFFFF03;

DISPID ElementMember(LPOLESTR name)
{
    if (!name) return DISPID_UNKNOWN;
    if (::CompareStringOrdinal(name, -1, L"attachEvent", -1, TRUE) == CSTR_EQUAL) return kAttachEvent;
    if (::CompareStringOrdinal(name, -1, L"detachEvent", -1, TRUE) == CSTR_EQUAL) return kDetachEvent;
    if (::CompareStringOrdinal(name, -1, L"object", -1, TRUE) == CSTR_EQUAL) return kObject;
    return DISPID_UNKNOWN;
}

} // namespace

ControlElement::ControlElement(std::shared_ptr<EventHandlers> handlers) : m_handlers(std::move(handlers)) {}

HRESULT ControlElement::Attach(IUnknown* object)
{
    return object->QueryInterface(IID_IDispatch, m_object.put_void());
}

STDMETHODIMP ControlElement::GetTypeInfoCount(UINT* count)
{
    if (!m_object) {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    return m_object->GetTypeInfoCount(count);
}

STDMETHODIMP ControlElement::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info)
{
    if (!m_object) {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    return m_object->GetTypeInfo(index, lcid, info);
}

STDMETHODIMP ControlElement::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids)
{
    if (!names || !ids || count == 0) return E_INVALIDARG;
    const DISPID own = ElementMember(names[0]);
    if (own != DISPID_UNKNOWN && count == 1) {
        ids[0] = own;
        return S_OK;
    }
    if (!m_object) {
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    return m_object->GetIDsOfNames(iid, names, count, lcid, ids);
}

// The call holds no reference of its own: a handler that removes the element inside it
// leaves the object with whatever references it keeps for itself.
STDMETHODIMP ControlElement::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    if (id == kAttachEvent || id == kDetachEvent) {
        if (!params) return E_INVALIDARG;
        if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
        if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
        if (result) ::VariantInit(result);
        return CatchReturnHresult([&] { return BindEvent(id, *params, result, argError); });
    }
    if (id == kObject) return ReadObject(flags, params, result);
    IDispatch* object = m_object.get();
    if (!object) return DISP_E_MEMBERNOTFOUND;
    return object->Invoke(id, iid, lcid, flags, params, result, exception, argError);
}

// As a browser's object element answers it: the object, or null when there is none.
HRESULT ControlElement::ReadObject(WORD flags, const DISPPARAMS* params, VARIANT* result)
{
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs > 0) return DISP_E_BADPARAMCOUNT;
    if (!result) return S_OK;
    ::VariantInit(result);
    if (!m_object) {
        V_VT(result) = VT_NULL;
        return S_OK;
    }
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = m_object.get();
    m_object->AddRef();
    return S_OK;
}

HRESULT ControlElement::BindEvent(DISPID id, const DISPPARAMS& params, VARIANT* result, UINT* argError)
{
    std::wstring event;
    ComPtr<IDispatch> function;
    HRESULT hr = ArgumentText(params, 0, event, argError);
    if (SUCCEEDED(hr)) hr = ArgumentObject(params, 1, function, argError);
    if (FAILED(hr)) return hr;
    if (!function) return DISP_E_TYPEMISMATCH;
    if (id == kDetachEvent) {
        m_handlers->Detach(event, function.get());
        return S_OK;
    }
    m_handlers->Attach(event, std::move(function));
    // As a browser answers attachEvent: whether the handler was bound.
    if (result) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = VARIANT_TRUE;
    }
    return S_OK;
}

} // namespace vl::pagehost
