// The kernel link on its own, against a kernel played by the test: no control, no form.
// ctest: RESOURCE_LOCK product_state
#include <gtest/gtest.h>

#include <aclapi.h>

#include <atomic>
#include <iterator>
#include <thread>

#include "kernel_link/kernel_link.h"
#include "kernel_link/portable/pipe_names.h"
#include "fixtures/fake_kernel_window.h"
#include "fixtures/peer_kernel.h"
#include "support/platform_calls.h"
#include "fixtures/product_state.h"
#include "fixtures/scoped_platform.h"
#include "fixtures/step_log.h"

using namespace vl::test;

namespace {

int g_wakes = 0;

LRESULT CALLBACK CountWakes(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == vl::FormTimer::kTickMessage) ++g_wakes;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// The link's owner: the pump's timer on a window that counts the pump's wakes (the timer
// itself never ticks), and a kernel window that is always there.
class TestPump {
public:
    TestPump()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = CountWakes;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KernelLinkTestHost";
        ::RegisterClassW(&windowClass);
        m_window.reset(::CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       windowClass.hInstance, nullptr));
        timer.SetEnabled(false);
        timer.SetInterval(0);
        timer.SetWindow(m_window.get());
        g_wakes = 0;
    }

    // Runs the queue until a wake has come, at most `ms`; takes it.
    bool WaitForWake(DWORD ms)
    {
        const bool woken = PumpUntil([] { return g_wakes > 0; }, ms);
        g_wakes = 0;
        return woken;
    }
    bool IsOn() const { return timer.Enabled(); }

    vl::FormTimer timer{1};
    vl::CVLWidgetUtility utility{L"test"};

private:
    vl::UniqueWindow m_window;
    FakeKernelWindow m_kernelWindow;
};

class KernelLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProductState(); }
    void TearDown() override { peer.reset(); }

    void Link(PeerOptions options = {})
    {
        peer = std::make_unique<PeerKernel>(std::move(options));
        ASSERT_TRUE(link.Handshake());
        ASSERT_TRUE(link.Register());
        ASSERT_TRUE(peer->WaitReceived(1, 2000));
    }

    // Every message the pump would get now, waiting for each at most `ms`.
    std::vector<vl::KernelMessage> Drain(std::size_t count, DWORD ms)
    {
        std::vector<vl::KernelMessage> messages;
        while (messages.size() < count) {
            vl::KernelMessage message;
            const long status = link.NextMessage(message);
            if (status == 0) messages.push_back(message);
            if (status == 0 || status == vl::kMalformedMessage) continue;
            if (status != ERROR_NO_DATA) break;
            link.WatchReadPipe();
            if (!pump.WaitForWake(ms)) break;
        }
        return messages;
    }

    TestPump pump;
    vl::KernelLink link{pump.timer, pump.utility};
    std::unique_ptr<PeerKernel> peer;

private:
    ScopedPlatform m_platform;
};

constexpr DWORD kTick = 123456789;

DWORD WINAPI FixedTick()
{
    return kTick;
}

// The clock as the link reads it: the time of day plus a jump the test makes.
std::atomic<DWORD> g_clockJump{0};

DWORD WINAPI JumpingTick()
{
    return ::GetTickCount() + g_clockJump;
}

void AnswerSaveAfterAnUnrelatedMessage(PeerKernel& peer, const vl::KernelMessage& message)
{
    if (message.cmdId != 162) return;
    peer.Send(2, 4, "meanwhile");
    peer.Send(162, 0, "RetData=OK");
}

} // namespace

TEST_F(KernelLinkTest, HandshakeLinksRegistersAndSwitchesThePumpOn)
{
    Link();
    EXPECT_TRUE(pump.IsOn());
    EXPECT_EQ(peer->PipeId(), link.PipeId());
    EXPECT_EQ(peer->Received().at(0), "CmdID=3&&&&SerialNum=0&&&&Params=WidgetName=ActiveX");
    EXPECT_TRUE(link.IsLinked());
}

TEST_F(KernelLinkTest, ExchangeTakesItsAnswerAndKeepsTheRestForThePump)
{
    PeerOptions options;
    options.onMessage = AnswerSaveAfterAnUnrelatedMessage;
    Link(options);
    const vl::ExchangeResult result = link.Exchange(162, L"Key=k&&&&Value=v");
    EXPECT_EQ(result.outcome, vl::ExchangeOutcome::Answered);
    EXPECT_EQ(result.answer, L"RetData=OK");
    EXPECT_TRUE(pump.IsOn());
    const auto kept = Drain(1, 1000);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].params, L"meanwhile");
}

TEST_F(KernelLinkTest, KeptMessagesGoWithTheirPair)
{
    PeerOptions options;
    options.onMessage = AnswerSaveAfterAnUnrelatedMessage;
    Link(options);
    ASSERT_EQ(link.Exchange(162, L"Key=k&&&&Value=v").outcome, vl::ExchangeOutcome::Answered);
    ASSERT_EQ(link.KeptMessagesForTesting(), 1u);
    link.Close();
    EXPECT_EQ(link.KeptMessagesForTesting(), 0u);

    // A new handshake starts without what the earlier pair left, too.
    Link(options);
    ASSERT_EQ(link.Exchange(162, L"Key=k&&&&Value=v").outcome, vl::ExchangeOutcome::Answered);
    ASSERT_EQ(link.KeptMessagesForTesting(), 1u);
    peer = std::make_unique<PeerKernel>();
    ASSERT_TRUE(link.Handshake());
    EXPECT_EQ(link.KeptMessagesForTesting(), 0u);
    vl::KernelMessage message;
    EXPECT_EQ(link.NextMessage(message), ERROR_NO_DATA);
}

// What would not reach the kernel as one whole message is refused before anything is
// written, and the pump goes on.
TEST_F(KernelLinkTest, ARequestThatWouldNotBeOneMessageIsRefusedUnwritten)
{
    const std::wstring head = L"CmdID=162&&&&SerialNum=0&&&&Params=";
    const std::wstring fits(vl::kMaxMessageTextBytes - head.size(), L'v');
    Link();
    for (const std::wstring& params : {fits + L"v", std::wstring(L"Key=k\0CmdID=1", 13)}) {
        EXPECT_EQ(link.Exchange(162, params).outcome, vl::ExchangeOutcome::Refused) << params.size();
        EXPECT_EQ(link.Send(162, 0, params), vl::kNotOneMessage) << params.size();
        EXPECT_TRUE(pump.IsOn());
    }
    EXPECT_EQ(link.Send(162, 0, fits), 0);
    ASSERT_TRUE(peer->WaitReceived(2, 2000));
    EXPECT_EQ(peer->Received().size(), 2u);
    EXPECT_EQ(peer->Received()[1], "CmdID=162&&&&SerialNum=0&&&&Params=" + std::string(fits.size(), 'v'));
}

// The kernel answers a request with a flood of other messages that takes all of the
// request's time: the request reads no further than its deadline, and what it left stays
// in the pipe for the pump, none of it lost.
TEST_F(KernelLinkTest, ARequestReadsNoFurtherThanItsDeadline)
{
    constexpr int kFlood = 60; // one write that fits the pipe
    PeerOptions options;
    options.onMessage = [](PeerKernel& peer, const vl::KernelMessage& message) {
        if (message.cmdId != 162 || g_clockJump != 0) return;
        std::string flood;
        for (int i = 0; i < kFlood; ++i) flood += *vl::FormatKernelMessage(2, i, "flood") + std::string(1, '\0');
        g_clockJump = 10000;
        peer.SendRaw(flood);
    };
    Link(options);
    g_clockJump = 0;
    vl::Platform().getTickCount = JumpingTick;
    EXPECT_EQ(link.Exchange(162, L"Key=k").outcome, vl::ExchangeOutcome::Unanswered);
    EXPECT_LE(link.KeptMessagesForTesting(), 1u);
    const auto messages = Drain(kFlood, 1000);
    ASSERT_EQ(messages.size(), static_cast<std::size_t>(kFlood));
    for (int i = 0; i < kFlood; ++i) EXPECT_EQ(messages[i].serialNum, i);
}

// A kernel that sends other messages before its answer: the request keeps them for the
// pump, in order, up to the kept messages' bound, and counts what it dropped beyond it in
// one log line. 300 short ones are kept whole; 700 of 4,000 characters pass the bound.
TEST_F(KernelLinkTest, ARequestKeepsWhatComesBeforeItsAnswerUpToTheBound)
{
    const struct {
        int count;
        std::size_t paramsLength;
        bool dropsSome;
    } cases[] = {{300, 9, false}, {700, 4000, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        PeerOptions options;
        options.onMessage = [c](PeerKernel& peer, const vl::KernelMessage& message) {
            if (message.cmdId != 162) return;
            for (int i = 0; i < c.count; ++i) peer.Send(2, i, std::string(c.paramsLength, 'm'));
            peer.Send(162, 0, "RetData=OK");
        };
        Link(options);
        StepLog log;
        const vl::ExchangeResult result = link.Exchange(162, L"Key=k&&&&Value=v");
        EXPECT_EQ(result.outcome, vl::ExchangeOutcome::Answered);
        EXPECT_EQ(result.answer, L"RetData=OK");
        const std::size_t kept = link.KeptMessagesForTesting();
        EXPECT_LE(link.KeptBytesForTesting(), vl::KernelLink::kMaxKeptBytes + sizeof(vl::KernelMessage) + 2 * c.paramsLength);
        const std::string dropLine = std::to_string(c.count - static_cast<int>(kept)) +
                                     " kernel messages dropped: 4194304 bytes were kept already.";
        EXPECT_EQ(log.Count(dropLine), c.dropsSome ? 1u : 0u);
        EXPECT_EQ(kept < static_cast<std::size_t>(c.count), c.dropsSome);
        const auto messages = Drain(kept, 1000);
        ASSERT_EQ(messages.size(), kept);
        for (std::size_t i = 0; i < kept; ++i) EXPECT_EQ(messages[i].serialNum, static_cast<int>(i));
        vl::KernelMessage message;
        EXPECT_EQ(link.NextMessage(message), ERROR_NO_DATA);
        EXPECT_EQ(link.KeptBytesForTesting(), 0u);
    }
}

// A kernel that answers each message at once, writing while it does not read: the link's
// writes read its answers meanwhile, so a thousand messages in a row all go out whole and
// every answer waits for the pump, in order.
TEST_F(KernelLinkTest, WritesReadTheKernelsAnswersSoThatABusyKernelReadsOn)
{
    constexpr int kMessages = 1000;
    PeerOptions options;
    options.onMessage = [](PeerKernel& peer, const vl::KernelMessage& message) {
        if (message.cmdId == 2) peer.Send(2, message.serialNum, "Echo=" + std::string(40, 'e'));
    };
    Link(options);
    for (int i = 0; i < kMessages; ++i) ASSERT_EQ(link.Send(2, i, std::wstring(40, L'p')), 0) << i;
    const auto echoes = Drain(kMessages, 5000);
    ASSERT_EQ(echoes.size(), static_cast<std::size_t>(kMessages));
    for (int i = 0; i < kMessages; ++i) EXPECT_EQ(echoes[i].serialNum, i);
    EXPECT_TRUE(link.IsLinked());
}

// A kernel that answers each message with 64 KiB of messages and reads on only once they
// are taken: the writes keep them up to the bound and then read no more, said in one log
// line; the kernel waits, and the write it does not take ends the link.
TEST_F(KernelLinkTest, WritesKeepTheKernelsMessagesOnlyUpToTheBound)
{
    PeerOptions options;
    options.onMessage = [](PeerKernel& peer, const vl::KernelMessage& message) {
        for (int i = 0; i < 16; ++i) peer.Send(2, message.serialNum, std::string(4000, 'k'));
    };
    Link(options);
    StepLog log;
    long status = 0;
    int sent = 0;
    while ((status = link.Send(2, sent, std::wstring(4000, L'p'))) == 0 && sent < 200) ++sent;
    EXPECT_EQ(status, WAIT_TIMEOUT);
    EXPECT_LT(sent, 200);
    const std::string text = log.Text();
    const std::string line = " bytes of kernel messages kept: no more are read until the page takes them.";
    ASSERT_EQ(log.Count(line), 1u) << text;
    const std::size_t end = text.find(line);
    const std::size_t kept = std::stoul(text.substr(text.rfind(' ', end - 1) + 1));
    EXPECT_GE(kept, vl::KernelLink::kMaxKeptBytes);
    EXPECT_LT(kept, vl::KernelLink::kMaxKeptBytes + 2 * sizeof(vl::KernelMessage) + 8000);
    EXPECT_FALSE(link.IsLinked());
}

// A second handshake closes the pair of the first: the kernel sees that link end.
TEST_F(KernelLinkTest, ASecondHandshakeClosesTheFirstPair)
{
    Link();
    const auto first = std::move(peer);
    Link();
    EXPECT_FALSE(first->Send(2, 0, "to a closed pair"));
    EXPECT_TRUE(peer->Send(2, 0, "to the new pair"));
}

TEST_F(KernelLinkTest, PumpIsWokenWhenBytesArrive)
{
    Link();
    // The kernel's first message went to the handshake: nothing waits.
    vl::KernelMessage message;
    ASSERT_EQ(link.NextMessage(message), ERROR_NO_DATA);
    link.WatchReadPipe();
    peer->Send(2, 9, "done");
    ASSERT_TRUE(pump.WaitForWake(2000));
    ASSERT_EQ(link.NextMessage(message), 0);
    EXPECT_EQ(message.cmdId, 2);
    EXPECT_EQ(message.params, L"done");
}

TEST_F(KernelLinkTest, ReadsEndingWithoutANulAreWholeMessagesUnlessMoreIsWaiting)
{
    Link();
    const std::string longText = "CmdID=2&&&&SerialNum=1&&&&Params=" + std::string(3950, 'a');
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::wstring> params;
    } cases[] = {
        {"no NUL, nothing after it", "CmdID=2&&&&SerialNum=1&&&&Params=tail", {L"tail"}},
        {"a read's end inside the second message",
         longText + std::string(1, '\0') + "CmdID=2&&&&SerialNum=2&&&&Params=" + std::string(200, 'b') +
             std::string(1, '\0'),
         {std::wstring(3950, L'a'), std::wstring(200, L'b')}},
    };
    for (const auto& c : cases) {
        // More than the pipe holds: the peer's write waits for the link's reads.
        std::thread sender([&] { EXPECT_TRUE(peer->SendRaw(c.bytes)) << c.name; });
        const auto messages = Drain(c.params.size(), 2000);
        sender.join();
        ASSERT_EQ(messages.size(), c.params.size()) << c.name;
        for (std::size_t i = 0; i < messages.size(); ++i) EXPECT_EQ(messages[i].params, c.params[i]) << c.name;
    }
}

TEST_F(KernelLinkTest, WriteIntoAFullPipeFailsAtTheDeadlineWithoutHalfAMessage)
{
    Link();
    peer->SetReading(false);
    const std::wstring params(4000, L'p');
    long status = 0;
    int sent = 0;
    while ((status = link.Send(2, sent, params)) == 0 && sent < 10) ++sent;
    EXPECT_EQ(status, WAIT_TIMEOUT);
    // The kernel took nothing for the whole deadline: the link has ended.
    EXPECT_EQ(link.WritePipeForTesting(), nullptr);
    EXPECT_FALSE(link.IsLinked());
    peer->SetReading(true);
    ASSERT_TRUE(peer->WaitReceived(1 + static_cast<std::size_t>(sent), 2000));
    ::Sleep(100);
    const auto received = peer->Received();
    ASSERT_EQ(received.size(), 1u + static_cast<std::size_t>(sent));
    for (std::size_t i = 1; i < received.size(); ++i)
        EXPECT_EQ(received[i], vl::FormatKernelMessage(2, static_cast<int>(i - 1), std::string(4000, 'p')));
}

TEST_F(KernelLinkTest, ThePairIsForTheUserTheAdministratorsAndTheSystemOnly)
{
    Link();
    vl::UniqueHandle token;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()));
    BYTE userBuffer[256];
    DWORD size = 0;
    ASSERT_TRUE(::GetTokenInformation(token.get(), TokenUser, userBuffer, sizeof userBuffer, &size));
    // An elevated kernel runs as the user or, on a standard account, as an administrator.
    BYTE administrators[SECURITY_MAX_SID_SIZE], system[SECURITY_MAX_SID_SIZE];
    DWORD administratorsSize = sizeof administrators, systemSize = sizeof system;
    ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administratorsSize));
    ASSERT_TRUE(::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize));
    const PSID admitted[] = {reinterpret_cast<TOKEN_USER*>(userBuffer)->User.Sid, administrators, system};
    for (HANDLE pipe : {link.ReadPipeForTesting(), link.WritePipeForTesting()}) {
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(::GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, &descriptor),
                  ERROR_SUCCESS);
        ASSERT_NE(dacl, nullptr);
        // Nobody else: no Everyone, no Anonymous.
        ASSERT_EQ(dacl->AceCount, std::size(admitted));
        for (WORD i = 0; i < dacl->AceCount; ++i) {
            void* ace = nullptr;
            ASSERT_TRUE(::GetAce(dacl, i, &ace));
            const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
            EXPECT_TRUE(::EqualSid(const_cast<DWORD*>(&allowed->SidStart), admitted[i])) << i;
        }
        ::LocalFree(descriptor);
    }
}

TEST_F(KernelLinkTest, ASquattedPairNameFailsTheHandshakeAndLeavesNothingOpen)
{
    vl::Platform().getTickCount = FixedTick;
    for (const auto& name : {vl::ReadPipeName(kTick), vl::WritePipeName(kTick)}) {
        const auto squatter = vl::KernelPipe::CreateServerEnd(name, PIPE_ACCESS_DUPLEX, false);
        ASSERT_TRUE(squatter);
        peer = std::make_unique<PeerKernel>();
        EXPECT_FALSE(link.Handshake());
        EXPECT_EQ(link.ReadPipeForTesting(), nullptr);
        EXPECT_EQ(link.WritePipeForTesting(), nullptr);
        EXPECT_FALSE(pump.IsOn());
        peer.reset();
    }
}
