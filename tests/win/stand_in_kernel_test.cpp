// The stand-in kernel, the peer of every later test, driven through the adapter's own
// handshake and messages.
// ctest: RESOURCE_LOCK product_state
// ctest-twin: skip
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "kernel_link/portable/message_text.h"
#include "support/product_registry.h"
#include "fixtures/product_state.h"
#include "fixtures/child_process.h"
#include "fixtures/kernel_client.h"
#include "fixtures/test_paths.h"

using namespace vl;
using namespace vl::test;

namespace {

constexpr DWORD kStartMs = 10000;
constexpr DWORD kExitMs = 5000;

std::wstring KernelExe()
{
    return BuildFile(L"tools/kernel/VLWidgetKernel.exe");
}

ChildOptions Behaviour(const std::wstring& behaviour)
{
    return {{{L"VL_KERNEL_BEHAVIOUR", behaviour}}};
}

class StandInKernel : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(EndRunningKernels()); }

    // Starts the kernel and waits for its window.
    std::unique_ptr<ChildProcess> Start(const std::wstring& behaviour = {})
    {
        auto kernel = std::make_unique<ChildProcess>(KernelExe(), L"TW;Production", Behaviour(behaviour));
        EXPECT_TRUE(kernel->Started());
        EXPECT_NE(WaitForKernelWindow(kStartMs), nullptr);
        return kernel;
    }

    static void Leave(KernelClient& client) { EXPECT_EQ(client.Send(1, 0, L""), 0); }
};

TEST_F(StandInKernel, ShowsItsWindowGreetsALinkAndEndsAfterTheLeaveNotice)
{
    auto kernel = Start();
    HWND window = WaitForKernelWindow(0);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(ReadProductInteger(L"PID"), static_cast<int>(kernel->Id()));
    EXPECT_EQ(ReadProductString(L"KernelRegion"), L"TW;Production");

    KernelClient client;
    ASSERT_TRUE(client.Open(NewPipeId())) << client.Failure();
    EXPECT_EQ(client.FirstMessage().cmdId, 5);
    EXPECT_EQ(GetKeyValue(client.FirstMessage().params, L"Region"), L"TW;Production");

    Leave(client);
    ASSERT_TRUE(kernel->WaitForExit(kExitMs));
    EXPECT_EQ(kernel->ExitCode(), 0u);
    EXPECT_EQ(ReadProductInteger(L"PID"), 0);
    EXPECT_EQ(WaitForKernelWindow(0), nullptr);
}

TEST_F(StandInKernel, AnswersEachRequestWithItsOwnCmdId)
{
    auto kernel = Start();
    KernelClient client;
    ASSERT_TRUE(client.Open(NewPipeId())) << client.Failure();

    EXPECT_EQ(client.Send(3, 0, L"WidgetName=ActiveX"), 0);
    EXPECT_TRUE(client.Await(6, 2000));

    const std::wstring key = L"Key=answers" + std::to_wstring(::GetTickCount());
    EXPECT_EQ(client.Request(162, key + L"&&&&Value=v1"), L"RetData=OK");
    EXPECT_EQ(client.Request(163, key), L"RetData=v1");
    EXPECT_EQ(client.Request(164, key), L"RetData=OK");
    EXPECT_EQ(client.Request(163, key), L"RetData=");

    EXPECT_EQ(client.Request(165, L"Region=TW;Production"), L"RetData=TRUE");
    EXPECT_EQ(client.Request(165, L"Region=CN;Develop2.0"), L"RetData=TRUE");
    EXPECT_EQ(client.Request(165, L"Region=JP;Production"), L"RetData=FALSE");
    EXPECT_EQ(client.Request(165, L"Region=tw;Production"), L"RetData=FALSE");
    EXPECT_EQ(client.Request(165, L"Region=TW"), L"RetData=FALSE");

    // Page commands: echoed with "Echo=" before the parameters, so that an empty text too
    // comes back as one the adapter raises.
    ASSERT_EQ(client.Send(2, 9, L"done&&&&a=b"), 0);
    auto echo = client.Await(2, 2000);
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->serialNum, 9);
    EXPECT_EQ(echo->params, L"Echo=done&&&&a=b");
    ASSERT_EQ(client.Send(7, 1, L""), 0);
    echo = client.Await(7, 2000);
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->params, L"Echo=");

    ASSERT_EQ(client.Send(100, 4, L"Count=3"), 0);
    for (int i = 1; i <= 3; ++i) {
        const auto burst = client.Receive(2000);
        ASSERT_TRUE(burst) << "message " << i;
        EXPECT_EQ(burst->cmdId, 100);
        EXPECT_EQ(burst->serialNum, 4);
        EXPECT_EQ(burst->params, L"Burst=" + std::to_wstring(i) + L"&&&&Count=3");
    }
    Leave(client);
    EXPECT_TRUE(kernel->WaitForExit(kExitMs));
}

TEST_F(StandInKernel, KeepsSavedAndClearedValuesAcrossARestart)
{
    const std::wstring key = L"Key=restart=" + std::to_wstring(::GetTickCount());
    const std::wstring cleared = key + L"cleared";
    const std::wstring value = L"x=1&&&&y=%41\r\nz";
    {
        auto kernel = Start();
        KernelClient client;
        ASSERT_TRUE(client.Open(NewPipeId())) << client.Failure();
        EXPECT_EQ(client.Request(162, key + L"&&&&Value=" + value), L"RetData=OK");
        EXPECT_EQ(client.Request(162, cleared + L"&&&&Value=gone"), L"RetData=OK");
        EXPECT_EQ(client.Request(164, cleared), L"RetData=OK");
        Leave(client);
        ASSERT_TRUE(kernel->WaitForExit(kExitMs));
    }
    // A line cut short by a crash counts for nothing.
    {
        std::FILE* store = _wfopen((HomeFolder() + L"\\KernelStore.txt").c_str(), L"ab");
        ASSERT_NE(store, nullptr);
        std::fputs("cut=half a line", store);
        std::fclose(store);
    }
    auto kernel = Start();
    KernelClient client;
    ASSERT_TRUE(client.Open(NewPipeId())) << client.Failure();
    EXPECT_EQ(client.Request(163, key), L"RetData=" + value);
    EXPECT_EQ(client.Request(163, cleared), L"RetData=");
    EXPECT_EQ(client.Request(163, L"Key=cut"), L"RetData=");
    EXPECT_EQ(client.Request(164, key), L"RetData=OK");
    Leave(client);
    EXPECT_TRUE(kernel->WaitForExit(kExitMs));
}

TEST_F(StandInKernel, ServesSeveralLinksAndEndsAfterTheLastLeaveNotice)
{
    auto kernel = Start();
    KernelClient first;
    KernelClient second;
    KernelClient dropped;
    ASSERT_TRUE(first.Open(NewPipeId())) << first.Failure();
    ASSERT_TRUE(second.Open(NewPipeId())) << second.Failure();
    ASSERT_TRUE(dropped.Open(NewPipeId())) << dropped.Failure();

    const std::wstring key = L"Key=shared" + std::to_wstring(::GetTickCount());
    EXPECT_EQ(first.Request(162, key + L"&&&&Value=seen by all"), L"RetData=OK");
    EXPECT_EQ(second.Request(163, key), L"RetData=seen by all");

    // A link whose adapter went away without a leave notice no longer counts.
    dropped.Close();
    Leave(first);
    EXPECT_FALSE(kernel->WaitForExit(500));
    EXPECT_EQ(second.Request(164, key), L"RetData=OK");
    Leave(second);
    EXPECT_TRUE(kernel->WaitForExit(kExitMs));
}

TEST_F(StandInKernel, RecordsItsRegistrationRunAndEndsAtOnce)
{
    DeleteProductValue(L"KernelRegistered");
    ChildProcess kernel(KernelExe(), L" /regserver");
    ASSERT_TRUE(kernel.Started());
    ASSERT_TRUE(kernel.WaitForExit(kExitMs));
    EXPECT_EQ(kernel.ExitCode(), 0u);
    EXPECT_EQ(WaitForKernelWindow(0), nullptr);
    EXPECT_EQ(_wcsicmp(ReadProductString(L"KernelRegistered").c_str(), KernelExe().c_str()), 0)
        << ReadProductString(L"KernelRegistered");
}

TEST_F(StandInKernel, RunsOnlyOnceAndRefusesAnUnknownBehaviour)
{
    auto kernel = Start();
    ChildProcess second(KernelExe(), L"TW;Production");
    ASSERT_TRUE(second.WaitForExit(kExitMs));
    EXPECT_EQ(second.ExitCode(), 3u);
    EXPECT_EQ(ReadProductInteger(L"PID"), static_cast<int>(kernel->Id()));
    ::PostMessageW(WaitForKernelWindow(0), WM_CLOSE, 0, 0);
    ASSERT_TRUE(kernel->WaitForExit(kExitMs));
    EXPECT_EQ(ReadProductInteger(L"PID"), 0);

    ChildProcess mistyped(KernelExe(), L"TW;Production", Behaviour(L"late:soon"));
    ASSERT_TRUE(mistyped.WaitForExit(kExitMs));
    EXPECT_EQ(mistyped.ExitCode(), 2u);
}

TEST_F(StandInKernel, AnswersOnlyTheSecondCopyOfARequestWhenAskedTo)
{
    auto kernel = Start(L"second_copy");
    KernelClient client;
    ASSERT_TRUE(client.Open(NewPipeId())) << client.Failure();
    EXPECT_FALSE(client.Request(165, L"Region=TW;Production", 600));
    EXPECT_EQ(client.Request(165, L"Region=TW;Production"), L"RetData=TRUE");
    EXPECT_FALSE(client.Request(165, L"Region=TW;Production", 600));
    Leave(client);
}

TEST_F(StandInKernel, AnswersLateOrNeverWhenAskedTo)
{
    {
        auto kernel = Start(L"late:1000");
        KernelClient client;
        ASSERT_TRUE(client.Open(NewPipeId())) << client.Failure();
        const DWORD start = ::GetTickCount();
        ASSERT_EQ(client.Send(165, 0, L"Region=TW;Production"), 0);
        const auto answer = client.Await(165, 3000);
        ASSERT_TRUE(answer);
        EXPECT_GE(::GetTickCount() - start, 950u);
        EXPECT_EQ(answer->params, L"RetData=TRUE");
        Leave(client);
        ASSERT_TRUE(kernel->WaitForExit(kExitMs));
    }
    auto kernel = Start(L"never_answer");
    KernelClient client;
    ASSERT_TRUE(client.Open(NewPipeId())) << client.Failure();
    EXPECT_FALSE(client.Request(163, L"Key=any", 1000));
    ASSERT_EQ(client.Send(2, 3, L"still echoed"), 0);
    EXPECT_TRUE(client.Await(2, 2000));
    Leave(client);
}

TEST_F(StandInKernel, ClosesALinkWithItsCloseNoticeWhenAskedTo)
{
    auto kernel = Start(L"close_after:300");
    KernelClient client;
    ASSERT_TRUE(client.Open(NewPipeId())) << client.Failure();
    const auto notice = client.Await(167, 3000);
    ASSERT_TRUE(notice);
    ASSERT_EQ(client.Send(167, 0, L"NON"), 0);
    EXPECT_FALSE(client.Receive(3000));
    EXPECT_EQ(client.LastStatus(), ERROR_BROKEN_PIPE);
    // The kernel goes on serving: a closed link is no leave notice.
    EXPECT_FALSE(kernel->WaitForExit(300));
    KernelClient next;
    ASSERT_TRUE(next.Open(NewPipeId())) << next.Failure();
    Leave(next);
    EXPECT_TRUE(kernel->WaitForExit(kExitMs));
}

TEST_F(StandInKernel, OpensItsWindowLateWhenAskedTo)
{
    ChildProcess kernel(KernelExe(), L"TW;Production", Behaviour(L"window_delay:1500"));
    ASSERT_TRUE(kernel.Started());
    EXPECT_EQ(WaitForKernelWindow(700), nullptr);
    HWND window = WaitForKernelWindow(kStartMs);
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(kernel.WaitForExit(kExitMs));
}

TEST_F(StandInKernel, StaysAfterTheLastLeaveNoticeAndSendsABurstWhenAskedTo)
{
    auto kernel = Start(L"stay_after_leave,burst:3");
    KernelClient client;
    ASSERT_TRUE(client.Open(NewPipeId())) << client.Failure();
    for (int i = 1; i <= 3; ++i) {
        const auto burst = client.Receive(2000);
        ASSERT_TRUE(burst);
        EXPECT_EQ(burst->params, L"Burst=" + std::to_wstring(i) + L"&&&&Count=3");
    }
    Leave(client);
    EXPECT_FALSE(kernel->WaitForExit(1000));
    ::PostMessageW(WaitForKernelWindow(0), WM_CLOSE, 0, 0);
    EXPECT_TRUE(kernel->WaitForExit(kExitMs));
}

TEST_F(StandInKernel, WithoutAFirstMessageTheHandshakeFails)
{
    auto kernel = Start(L"no_first_message");
    KernelClient client;
    EXPECT_FALSE(client.Open(NewPipeId()));
    EXPECT_NE(client.Failure().find("first message"), std::string::npos) << client.Failure();
}

} // namespace
