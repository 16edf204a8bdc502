// Control instances of the module's own class for tests of the control's COM side,
// created as the class factory creates them, with the form built from the definition in
// the built module; and memory streams for persistence.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <gtest/gtest.h>

#include <string>

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/service_adapter_form.h"
#include "support/win_handles.h"

namespace vl::test {

// A new TVLServiceAdapterXImpl; null when the creation failed.
vl::ComPtr<IVLServiceAdapterX> NewControlInstance();
// The form of an instance made by NewControlInstance.
TVLServiceAdapterX& FormOf(IVLServiceAdapterX* control);

template <typename I>
vl::ComPtr<I> QueryAs(IUnknown* object)
{
    vl::ComPtr<I> result;
    EXPECT_HRESULT_SUCCEEDED(object->QueryInterface(__uuidof(I), result.put_void()));
    return result;
}

// A memory stream holding `bytes`, positioned at its start.
vl::ComPtr<IStream> MemoryStream(const std::string& bytes = {});
// Everything the stream holds, whatever its position.
std::string StreamBytes(IStream* stream);
// The description of the thread's error information, taken off the thread.
std::wstring TakeErrorDescription();

// One instance per test, with the product state reset around it (creating an instance
// runs the control initialization, which touches the product's registry key and home
// folder).
class ControlInstanceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TVLServiceAdapterX& Form() { return FormOf(control.get()); }

    vl::ComPtr<IVLServiceAdapterX> control;
};

} // namespace vl::test
