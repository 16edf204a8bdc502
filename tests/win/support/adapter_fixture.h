// A control instance for the adapter's tests, created as a browser creates it, with the
// product state reset around each test.
#pragma once

#include <gtest/gtest.h>

#include "control/VLServiceAdapterImpl.h"
#include "support/platform_calls.h"
#include "com_server/com_object.h"
#include "com_server/service_adapter_form.h"
#include "product_state.h"

namespace vl::test {

// A top-level window that passes for the kernel's main window.
class FakeKernelWindow {
public:
    FakeKernelWindow();
    ~FakeKernelWindow();
    void Close();

private:
    HWND m_window = nullptr;
};

class AdapterTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the control; false when the creation failed.
    bool CreateControl();
    bool PumpEnabled() const;

    vl::ComPtr<IVLServiceAdapterX> control;
    TVLServiceAdapterXImpl* adapter = nullptr;

private:
    AdapterPlatform m_savedPlatform;
};

// Replaces the shell's execute call for the test's lifetime, recording verb, file,
// parameters and window state; forwards to the real call when `forward` is set.
struct ShellStart {
    std::wstring verb, file, parameters, directory;
    int show = -1;
};
std::vector<ShellStart>& RecordedStarts();
void RecordShellStarts(bool forward);

} // namespace vl::test
