#include "dispatch_arguments.h"

namespace vl::pagehost {

HRESULT Argument(const DISPPARAMS& params, UINT index, UniqueVariant& value, UINT* argError)
{
    const UINT position = params.cArgs - 1 - index;
    const HRESULT hr = ::VariantCopyInd(value.put(), &params.rgvarg[position]);
    if (FAILED(hr) && argError) *argError = position;
    return hr;
}

HRESULT ArgumentText(const DISPPARAMS& params, UINT index, std::wstring& text, UINT* argError)
{
    UniqueVariant value;
    HRESULT hr = Argument(params, index, value, argError);
    if (FAILED(hr)) return hr;
    switch (V_VT(value.get())) {
    case VT_EMPTY:
        text = L"undefined";
        return S_OK;
    case VT_NULL:
        text = L"null";
        return S_OK;
    case VT_BOOL:
        text = V_BOOL(value.get()) ? L"true" : L"false";
        return S_OK;
    default:
        break;
    }
    hr = ::VariantChangeTypeEx(value.get(), value.get(), LOCALE_INVARIANT, 0, VT_BSTR);
    if (FAILED(hr)) {
        if (argError) *argError = params.cArgs - 1 - index;
        return DISP_E_TYPEMISMATCH;
    }
    text = BstrText(V_BSTR(value.get()));
    return S_OK;
}

HRESULT ArgumentNumber(const DISPPARAMS& params, UINT index, LONG fallback, LONG& number, UINT* argError)
{
    number = fallback;
    if (index >= params.cArgs) return S_OK;
    UniqueVariant value;
    HRESULT hr = Argument(params, index, value, argError);
    if (SUCCEEDED(hr)) hr = ::VariantChangeTypeEx(value.get(), value.get(), LOCALE_INVARIANT, 0, VT_I4);
    if (FAILED(hr)) {
        if (argError) *argError = params.cArgs - 1 - index;
        return DISP_E_TYPEMISMATCH;
    }
    number = V_I4(value.get());
    return S_OK;
}

HRESULT ArgumentObject(const DISPPARAMS& params, UINT index, ComPtr<IDispatch>& object, UINT* argError)
{
    object.reset();
    if (index >= params.cArgs) return S_OK;
    UniqueVariant value;
    const HRESULT hr = Argument(params, index, value, argError);
    if (FAILED(hr)) return hr;
    switch (V_VT(value.get())) {
    case VT_EMPTY:
    case VT_NULL:
        return S_OK;
    case VT_DISPATCH:
        object = ComPtr<IDispatch>(V_DISPATCH(value.get()));
        return S_OK;
    default:
        if (argError) *argError = params.cArgs - 1 - index;
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT SetText(VARIANT* result, std::wstring_view text)
{
    if (!result) return S_OK;
    V_BSTR(result) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!V_BSTR(result)) return E_OUTOFMEMORY;
    V_VT(result) = VT_BSTR;
    return S_OK;
}

void SetNumber(VARIANT* result, LONG number)
{
    if (!result) return;
    V_VT(result) = VT_I4;
    V_I4(result) = number;
}

void SetObject(VARIANT* result, IDispatch* object)
{
    if (!result) return;
    if (!object) {
        V_VT(result) = VT_NULL;
        return;
    }
    object->AddRef();
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
}

} // namespace vl::pagehost
