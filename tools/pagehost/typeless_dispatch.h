// The IDispatch members of an object that has no type information: its members are
// reached by DISPID (or, where the object overrides GetIDsOfNames, by its own names).
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace vl::pagehost {

template <typename Base = IDispatch>
class TypelessDispatch : public Base {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
};

} // namespace vl::pagehost
