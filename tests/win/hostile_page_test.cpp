// Pages of every kind of site in pagehost.exe, hosted as a browser hosts a web page (the
// control told that untrusted callers script it): the portal's pages may use every method,
// any other page nothing. The kernel's journal, its store and the registry show what
// happened.
// ctest: RESOURCE_LOCK product_state
// ctest: RESOURCE_LOCK com_registration
// ctest-trust: test root
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "../portable/page_addresses.h"
#include "support/com_module.h"
#include "support/kernel_journal.h"
#include "support/product_registry.h"
#include "support/product_state.h"
#include "support/test_paths.h"

using namespace vl::test;

namespace {

const char kAllowedAnswers[] = "SetUpdatorVersion undefined\n"
                               "Initialize2 1\n" // the region value is refused, not the page
                               "Initialize 0\n"
                               "SaveData 0\n"
                               "LoadData value\n"
                               "UpdateStatus Status=Waiting\n"
                               "ClearData 0\n"
                               "CheckRegionInfo 0\n"
                               "SendCommand 0\n"
                               "GetActivexObjID true\n"
                               "GetVersion 1.1.31.362\n"
                               "Uninitialize undefined\n";

const char kDeniedAnswers[] = "SetUpdatorVersion undefined\n"
                              "Initialize2 9\n"
                              "Initialize 9\n"
                              "SaveData 9\n"
                              "LoadData Failure\n"
                              "UpdateStatus Failure\n"
                              "ClearData 9\n"
                              "CheckRegionInfo 9\n"
                              "SendCommand 9\n"
                              "GetActivexObjID false\n"
                              "GetVersion Failure\n"
                              "Uninitialize undefined\n";

class HostilePageTest : public ::testing::TestWithParam<PageAddressCase> {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Regsvr32(ModulePath()), DWORD{0}); }

    void SetUp() override
    {
        ResetProductState();
        ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
        ASSERT_TRUE(vl::WriteProductString(L"Progress", L"Status=Done"));
    }

    void TearDown() override { ResetProductState(); }

    // pagehost.exe on the page `address`, its output.
    std::string RunPage(const std::wstring& address, bool untrustedCaller)
    {
        std::wstring commandLine = L"\"" + BuildFile(L"pagehost.exe") + L"\" --url \"" + address + L"\" --script \"" +
                                   BuildFile(L"pages/every_method.js") + L"\"";
        if (untrustedCaller) commandLine += L" --caller untrusted";
        std::string output;
        EXPECT_EQ(RunProgram(commandLine, &output, 60000), DWORD{0}) << output;
        return output;
    }

    // Whether a kernel started as a page's kernel; the registration run does not count.
    bool KernelStarted() const
    {
        for (const std::wstring& line : journal.Lines())
            if (line.starts_with(L"command line:") && !line.ends_with(L"/regserver")) return true;
        return false;
    }

    // How often the kernel ran for its registration.
    std::size_t RegistrationRuns() const
    {
        std::size_t runs = 0;
        for (const std::wstring& line : journal.Lines()) runs += line.ends_with(L"/regserver");
        return runs;
    }

    KernelJournal journal;
};

} // namespace

TEST_P(HostilePageTest, PortalPagesUseEveryMethodOtherPagesNone)
{
    const PageAddressCase& page = GetParam();
    const std::string output = RunPage(page.address, true);
    if (page.portal) {
        EXPECT_EQ(output, kAllowedAnswers);
        EXPECT_TRUE(KernelStarted());
        // Once, at the first call.
        EXPECT_EQ(RegistrationRuns(), 1u);
        EXPECT_FALSE(journal.Messages().empty());
        return;
    }
    EXPECT_EQ(output, kDeniedAnswers);
    // Nothing started, not even the registration, nothing sent, nothing stored or deleted.
    EXPECT_TRUE(journal.Lines().empty());
    EXPECT_TRUE(journal.Messages().empty());
    EXPECT_EQ(vl::ReadProductString(L"Progress"), L"Status=Done");
    EXPECT_EQ(vl::ReadProductString(L"KernelRegion"), L"");
    EXPECT_EQ(::GetFileAttributesW((HomeFolder() + L"\\KernelStore.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

INSTANTIATE_TEST_SUITE_P(Pages, HostilePageTest, ::testing::ValuesIn(kSampledPages));

TEST_F(HostilePageTest, TrustedLocalCallerOnAnyPageKeepsEveryMethod)
{
    EXPECT_EQ(RunPage(L"http://www.vorlink.com.evil.example/", false), kAllowedAnswers);
    EXPECT_TRUE(KernelStarted());
    EXPECT_EQ(RegistrationRuns(), 1u);
}
