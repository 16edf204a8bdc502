// ctest: RESOURCE_LOCK product_state
// The diagnostic step log a user switches on for support: the DWORD "StepLog" of the product
// key makes a new control write its step log to the fixed file of the home folder's Log
// folder; anything else leaves it off, and a writer someone else installed stays.
#include <gtest/gtest.h>
#include <objsafe.h>

#include <string>

#include "fixtures/adapter_fixture.h"
#include "support/diagnostic_log.h"
#include "support/platform_calls.h"
#include "support/product_registry.h"
#include "fixtures/temp_folder.h"
#include "support/widget_log.h"

using namespace vl::test;

namespace {

class DiagnosticLog : public AdapterTest {
protected:
    void TearDown() override
    {
        // The process's writer goes with the switch: the next control takes it out.
        vl::DeleteProductValue(vl::kStepLogValue);
        control.reset();
        if (CreateControl()) control.reset();
        EXPECT_EQ(vl::g_pWidgetLog, nullptr);
        AdapterTest::TearDown();
    }

    // A control told that untrusted callers script it, asked for its version without a
    // page: the call is refused and the refusal is a step of the log.
    void RefusedCall()
    {
        ASSERT_TRUE(CreateControl());
        vl::ComPtr<IObjectSafety> safety;
        ASSERT_EQ(control->QueryInterface(IID_IObjectSafety, safety.put_void()), S_OK);
        ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                    INTERFACESAFE_FOR_UNTRUSTED_CALLER),
                  S_OK);
        vl::UniqueBstr version;
        ASSERT_EQ(control->GetVersion(version.put()), S_OK);
        EXPECT_EQ(version.str(), L"Failure");
    }

    static std::wstring LogFile() { return HomeFolder() + L"\\Log\\" + std::wstring(vl::kStepLogFileName); }
};

bool NotElevated()
{
    return false;
}

bool Elevated()
{
    return true;
}

// Only the value 1 switches it on, and never in an elevated process.
TEST_F(DiagnosticLog, OnlyTheValueOneSwitchesItOnOutsideElevatedProcesses)
{
    const struct {
        const char* setting;
        bool asString;
        int value;
        bool (*elevated)();
        bool written;
    } cases[] = {
        {"absent", false, -1, NotElevated, false},
        {"0", false, 0, NotElevated, false},
        {"2", false, 2, NotElevated, false},
        {"\"1\" as a string", true, 1, NotElevated, false},
        {"1 in an elevated process", false, 1, Elevated, false},
        {"1", false, 1, NotElevated, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        ::DeleteFileW(LogFile().c_str());
        vl::DeleteProductValue(vl::kStepLogValue);
        if (c.asString) {
            ASSERT_TRUE(vl::WriteProductString(vl::kStepLogValue, L"1"));
        } else if (c.value >= 0) {
            ASSERT_TRUE(vl::WriteProductInteger(vl::kStepLogValue, c.value));
        }
        vl::Platform().isProcessElevated = c.elevated;
        RefusedCall();
        const std::string text = ReadFileBytes(LogFile());
        EXPECT_EQ(c.written, text.find("]: refused a call of the page [].\r\n") != std::string::npos) << text;
        control.reset();
    }
}

// Switched off, the next control takes the writer out and lets go of the file, which the
// user may then delete; switched on again, a new file starts.
TEST_F(DiagnosticLog, SwitchedOffTheFileIsLetGo)
{
    vl::Platform().isProcessElevated = NotElevated;
    ASSERT_TRUE(vl::WriteProductInteger(vl::kStepLogValue, 1));
    RefusedCall();
    control.reset();
    vl::DeleteProductValue(vl::kStepLogValue);
    ASSERT_TRUE(CreateControl());
    EXPECT_EQ(vl::g_pWidgetLog, nullptr);
    EXPECT_TRUE(::DeleteFileW(LogFile().c_str())) << ::GetLastError();
    control.reset();

    ASSERT_TRUE(vl::WriteProductInteger(vl::kStepLogValue, 1));
    RefusedCall();
    EXPECT_NE(ReadFileBytes(LogFile()).find("refused a call"), std::string::npos);
}

TEST_F(DiagnosticLog, AWriterSomeoneElseInstalledStays)
{
    vl::Platform().isProcessElevated = NotElevated;
    vl::CVLWidgetLog own;
    vl::g_pWidgetLog = &own;
    ASSERT_TRUE(vl::WriteProductInteger(vl::kStepLogValue, 1));
    ASSERT_TRUE(CreateControl());
    EXPECT_EQ(vl::g_pWidgetLog, &own);
    vl::DeleteProductValue(vl::kStepLogValue);
    control.reset();
    ASSERT_TRUE(CreateControl());
    EXPECT_EQ(vl::g_pWidgetLog, &own);
    vl::g_pWidgetLog = nullptr;
}

} // namespace
