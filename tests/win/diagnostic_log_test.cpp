// ctest: RESOURCE_LOCK product_state
// The diagnostic step log a user switches on for support: the DWORD "StepLog" of the product
// key makes a control's first call that the site lock lets through open its step log in the
// fixed file of the home folder's Log folder; anything else leaves it off, a writer someone
// else installed stays, and a refused page leaves no log, folder or key behind.
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
        SwitchOff();
        AdapterTest::TearDown();
    }

    // The process's writer goes with the switch: the next control's first call takes it out.
    void SwitchOff()
    {
        vl::DeleteProductValue(vl::kStepLogValue);
        control.reset();
        if (CreateControl()) AllowedCall();
        control.reset();
        EXPECT_EQ(vl::g_pWidgetLog, nullptr);
    }

    // A call of a trusted local caller: the control's first call that the site lock lets
    // through applies the switch, and the kernel's registration is a step of the log.
    void AllowedCall()
    {
        vl::UniqueBstr version;
        ASSERT_EQ(control->GetVersion(version.put()), S_OK);
        EXPECT_NE(version.str(), L"Failure");
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
        ASSERT_TRUE(CreateControl());
        AllowedCall();
        const std::string text = ReadFileBytes(LogFile());
        EXPECT_EQ(c.written, text.find("]: kernel registration:") != std::string::npos) << text;
        control.reset();
    }
}

// Switched off, the next control takes the writer out and lets go of the file, which the
// user may then delete; switched on again, a new file starts.
TEST_F(DiagnosticLog, SwitchedOffTheFileIsLetGo)
{
    vl::Platform().isProcessElevated = NotElevated;
    ASSERT_TRUE(vl::WriteProductInteger(vl::kStepLogValue, 1));
    ASSERT_TRUE(CreateControl());
    AllowedCall();
    control.reset();
    vl::DeleteProductValue(vl::kStepLogValue);
    ASSERT_TRUE(CreateControl());
    AllowedCall();
    EXPECT_EQ(vl::g_pWidgetLog, nullptr);
    EXPECT_TRUE(::DeleteFileW(LogFile().c_str())) << ::GetLastError();
    control.reset();

    // Once open, the log also takes the refusals of the process's other controls.
    ASSERT_TRUE(vl::WriteProductInteger(vl::kStepLogValue, 1));
    ASSERT_TRUE(CreateControl());
    AllowedCall();
    const vl::ComPtr<IVLServiceAdapterX> allowed = control;
    RefusedCall();
    EXPECT_NE(ReadFileBytes(LogFile()).find("]: refused a call of the page [].\r\n"), std::string::npos);
}

TEST_F(DiagnosticLog, AWriterSomeoneElseInstalledStays)
{
    vl::Platform().isProcessElevated = NotElevated;
    vl::CVLWidgetLog own;
    vl::g_pWidgetLog = &own;
    ASSERT_TRUE(vl::WriteProductInteger(vl::kStepLogValue, 1));
    ASSERT_TRUE(CreateControl());
    AllowedCall();
    EXPECT_EQ(vl::g_pWidgetLog, &own);
    vl::DeleteProductValue(vl::kStepLogValue);
    control.reset();
    ASSERT_TRUE(CreateControl());
    AllowedCall();
    EXPECT_EQ(vl::g_pWidgetLog, &own);
    vl::g_pWidgetLog = nullptr;
}

// Whatever a page the site lock refuses calls, it makes no home folder, no product key and
// no log file; the first call let through makes all three.
TEST_F(DiagnosticLog, ARefusedPageLeavesNoFolderKeyOrLog)
{
    vl::Platform().isProcessElevated = NotElevated;
    const std::wstring home = HomeFolder();
    struct Case {
        const char* state;
        bool stepLog; // "StepLog" = 1, and with it the product key, and the home folder with its Log folder
    };
    for (const Case& c : {Case{"nothing there", false}, Case{"StepLog = 1 and the folders", true}}) {
        SCOPED_TRACE(c.state);
        ResetProductState();
        ::DeleteFileW(LogFile().c_str());
        ::RemoveDirectoryW((home + L"\\Log").c_str());
        ASSERT_TRUE(::RemoveDirectoryW(home.c_str()));
        if (c.stepLog) {
            ASSERT_TRUE(vl::WriteProductInteger(vl::kStepLogValue, 1));
            ASSERT_TRUE(::CreateDirectoryW(home.c_str(), nullptr) && ::CreateDirectoryW((home + L"\\Log").c_str(), nullptr));
        }
        RefusedCall();
        ULONG result = 0;
        vl::UniqueBstr region{std::wstring_view(L"TW;Production")}, version{std::wstring_view(L"1.0.0.10")};
        EXPECT_EQ(control->Initialize(region.get(), version.get(), nullptr, 0, &result), S_OK);
        EXPECT_EQ(result, static_cast<ULONG>(VLS_PERMISSION_DENIED));
        control.reset();
        EXPECT_EQ(::GetFileAttributesW(home.c_str()) != INVALID_FILE_ATTRIBUTES, c.stepLog);
        EXPECT_EQ(ProductKeyExists(), c.stepLog);
        EXPECT_EQ(::GetFileAttributesW(LogFile().c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(vl::g_pWidgetLog, nullptr);

        ASSERT_TRUE(vl::WriteProductInteger(vl::kStepLogValue, 1));
        ASSERT_TRUE(CreateControl());
        AllowedCall();
        EXPECT_NE(::GetFileAttributesW((home + L"\\Log").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_NE(ReadFileBytes(LogFile()).find("]: kernel registration:"), std::string::npos);
        SwitchOff();
    }
}

} // namespace
