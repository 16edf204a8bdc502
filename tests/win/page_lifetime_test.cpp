// ctest: RESOURCE_LOCK product_state
// ctest: RESOURCE_LOCK com_registration
// ctest-trust: test root
// A page that takes the control off from inside each kind of event the control raises:
// OnResult during a tick of the response pump, an event of the form, a property change
// notice. pagehost.exe runs with Wine's heap checking, so memory the control touched after
// its release would show; a crash or a script error fails the run as well.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "fixtures/com_module.h"
#include "fixtures/page_run.h"
#include "fixtures/product_state.h"
#include "fixtures/test_paths.h"

using namespace vl::test;

namespace {

class PageRemovesTheControl : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Regsvr32(ModulePath()), DWORD{0}); }
    void SetUp() override { ResetProductState(); }
    void TearDown() override { ResetProductState(); }

    // Runs the page `script` of the build's pages; its output, standard error included.
    std::string RunPage(const std::wstring& script)
    {
        const PageRun run = RunPageHost(L"--url http://tw.vorlink.com/page.html --script " +
                                            Quoted(BuildFile(L"pages/" + script)),
                                        {{L"WINEDEBUG", L"warn+heap"}});
        EXPECT_EQ(run.exitCode, DWORD{0}) << run.output;
        EXPECT_EQ(run.output.find(":heap:"), std::string::npos) << run.output;
        return run.output;
    }
};

TEST_F(PageRemovesTheControl, InsideAnEventOfItsForm)
{
    EXPECT_NE(RunPage(L"remove_in_paint.js").find("removed in OnPaint\n"), std::string::npos);
}

TEST_F(PageRemovesTheControl, InsideAPropertyChangeNotice)
{
    const std::string output = RunPage(L"remove_in_change.js");
    EXPECT_NE(output.find("changed -518\nchanges 1\n"), std::string::npos) << output;
}

TEST_F(PageRemovesTheControl, InsideOnResultDuringAPumpTick)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    const std::string output = RunPage(L"remove_in_result.js");
    EXPECT_NE(output.find("Initialize2 0\nSendCommand 0\nOnResult 2 7 Echo=Hello=1\nremoved in OnResult\n"),
              std::string::npos)
        << output;
}

} // namespace
