// A concrete control for tests of the COM side alone: the automation methods answer
// E_NOTIMPL (GetVersion a fixed text) and the control initialization's result is chosen
// by the test. The form comes from the built module's resources.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include "com_server/server_module.h"
#include "com_server/service_adapter_control.h"
#include "support/win_handles.h"
#include "com_module.h"

namespace vl::test {

class TestControl final : public TVLServiceAdapterXControl {
public:
    // What the next instances' InitializeControl returns; instances alive now.
    static inline HRESULT s_initializeResult = S_OK;
    static inline int s_liveInstances = 0;

    TestControl() { ++s_liveInstances; }
    ~TestControl() override { --s_liveInstances; }

    static HRESULT Create(IUnknown* outer, REFIID iid, void** out)
    {
        return vl::CreateComInstance<TestControl>(outer, iid, out);
    }

    STDMETHODIMP Initialize(BSTR, BSTR, BSTR, ULONG, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP SaveData(BSTR, BSTR, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP LoadData(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SendCommand(ULONG, ULONG, BSTR, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP ClearData(BSTR, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetActivexObjID(ULONG* id) override
    {
        *id = 42;
        return S_OK;
    }
    STDMETHODIMP CheckRegionInfo(ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP Uninitialize() override { return E_NOTIMPL; }
    STDMETHODIMP SetUpdatorVersion(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP Initialize2(BSTR, BSTR, BSTR, ULONG, BSTR, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetVersion(BSTR* version) override
    {
        *version = ::SysAllocString(L"test");
        return S_OK;
    }

protected:
    HRESULT InitializeControl() override { return s_initializeResult; }
};

// Points this process's module object at the built module, loaded as data, so that the
// form finds its definition; for the lifetime of the test program.
inline void UseBuiltModuleResources(const std::wstring& modulePath)
{
    static vl::UniqueModule module(::LoadLibraryExW(modulePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    vl::Module().Init(module.get());
}

// For test programs that make controls: the built module registered (as the page's
// browser finds it) and its resources in use for this process's forms.
class BuiltModuleEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        UseBuiltModuleResources(ModulePath());
        ASSERT_EQ(Regsvr32(ModulePath()), DWORD{0});
    }
};

} // namespace vl::test
