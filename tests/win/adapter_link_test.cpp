// The adapter's link to a kernel played by the test: handshake bytes, registration,
// the response pump and the request exchange.
// ctest: RESOURCE_LOCK product_state
// ctest-wow64: run
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "kernel_link/kernel_pipe.h"
#include "kernel_link/portable/pipe_names.h"
#include "fixtures/adapter_fixture.h"
#include "fixtures/event_recorder.h"
#include "fixtures/peer_kernel.h"

using namespace vl::test;

namespace {

std::string WithNul(const std::string& text)
{
    return text + std::string(1, '\0');
}

DWORD WINAPI FixedTick()
{
    return 3000000000u;
}

// The ANSI code page of a Chinese system.
UINT WINAPI ChineseCodePage()
{
    return 936;
}

// Answers the waiting requests like a kernel with a little store of its own.
void AnswerRequests(PeerKernel& peer, const vl::KernelMessage& message)
{
    if (message.cmdId >= 162 && message.cmdId <= 165) peer.Send(message.cmdId, 0, "RetData=stored");
}

class LinkedAdapterTest : public AdapterTest {
protected:
    // A control linked to a peer and registered with it.
    void Link(PeerOptions options = {})
    {
        ASSERT_TRUE(CreateControl());
        peer = std::make_unique<PeerKernel>(std::move(options));
        ASSERT_TRUE(adapter->CoreForTesting().CreatePipeChannel());
        ASSERT_TRUE(adapter->CoreForTesting().RegisterToWidgetKernel());
        ASSERT_TRUE(peer->WaitReceived(1, 2000));
        ASSERT_TRUE(events.Connect(control.get()));
    }

    void TearDown() override
    {
        events.Disconnect();
        peer.reset();
        AdapterTest::TearDown();
    }

    ULONG Save(const wchar_t* key, const wchar_t* value, HRESULT* hr = nullptr)
    {
        vl::UniqueBstr k{std::wstring_view(key)}, v{std::wstring_view(value)};
        ULONG result = 99;
        const HRESULT status = control->SaveData(k.get(), v.get(), &result);
        if (hr) *hr = status;
        return result;
    }

    std::wstring Load(const wchar_t* key, HRESULT* hr = nullptr)
    {
        vl::UniqueBstr k{std::wstring_view(key)}, value;
        const HRESULT status = control->LoadData(k.get(), value.put());
        if (hr) *hr = status;
        return value.str();
    }

    FakeKernelWindow window;
    std::unique_ptr<PeerKernel> peer;
    EventRecorder events;
};

} // namespace

TEST_F(LinkedAdapterTest, HandshakeWritesTheNoticeThenRegisters)
{
    Link();
    const DWORD id = adapter->CoreForTesting().ObjectId();
    EXPECT_EQ(peer->PipeId(), id);
    EXPECT_EQ(peer->NoticeBytes(), WithNul("CmdID=1325&&&&SerialNum=0&&&&Params=PipeID=" + std::to_string(id)));
    EXPECT_EQ(peer->Received().at(0), "CmdID=3&&&&SerialNum=0&&&&Params=WidgetName=ActiveX");
    EXPECT_TRUE(PumpEnabled());
    EXPECT_TRUE(adapter->CoreForTesting().IsKernelLinked());
    ULONG objectId = 0;
    EXPECT_EQ(control->GetActivexObjID(&objectId), S_OK);
    EXPECT_EQ(objectId, id);
}

TEST_F(LinkedAdapterTest, PipeNumberAboveTwoToTheThirtyFirstNamesThePairUnsigned)
{
    vl::Platform().getTickCount = FixedTick;
    Link();
    EXPECT_EQ(peer->PipeId(), 3000000000u);
    EXPECT_EQ(peer->NoticeBytes(), WithNul("CmdID=1325&&&&SerialNum=0&&&&Params=PipeID=3000000000"));
}

TEST_F(AdapterTest, NoKernelListeningGivesUpAndLeavesNothingOpen)
{
    ASSERT_TRUE(CreateControl());
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(adapter->CoreForTesting().CreatePipeChannel());
    EXPECT_GE(::GetTickCount() - start, 3500u);
    EXPECT_EQ(adapter->CoreForTesting().ReadPipeForTesting(), nullptr);
    EXPECT_EQ(adapter->CoreForTesting().WritePipeForTesting(), nullptr);
    EXPECT_FALSE(PumpEnabled());
    // The main pipe and the pair are free again.
    EXPECT_TRUE(vl::KernelPipe::CreateServerEnd(vl::kKernelMainPipeName, PIPE_ACCESS_OUTBOUND, false));
    EXPECT_TRUE(vl::KernelPipe::CreateServerEnd(vl::ReadPipeName(adapter->CoreForTesting().ObjectId()), PIPE_ACCESS_INBOUND, true));
}

TEST_F(LinkedAdapterTest, WaitsForTheMainPipeThatAnotherAdapterHolds)
{
    ASSERT_TRUE(CreateControl());
    // Another adapter offers the main pipe for two seconds; the kernel arrives after it.
    auto held = vl::KernelPipe::CreateServerEnd(vl::kKernelMainPipeName, PIPE_ACCESS_OUTBOUND, false);
    ASSERT_TRUE(held);
    std::thread release([&] {
        ::Sleep(2000);
        held.reset();
        peer = std::make_unique<PeerKernel>();
    });
    const DWORD start = ::GetTickCount();
    const bool linked = adapter->CoreForTesting().CreatePipeChannel();
    release.join();
    EXPECT_TRUE(linked);
    EXPECT_GE(::GetTickCount() - start, 1800u);
}

TEST_F(LinkedAdapterTest, KernelThatNeverWritesFailsTheHandshake)
{
    ASSERT_TRUE(CreateControl());
    PeerOptions silent;
    silent.sendFirstMessage = false;
    peer = std::make_unique<PeerKernel>(silent);
    EXPECT_FALSE(adapter->CoreForTesting().CreatePipeChannel());
    EXPECT_EQ(adapter->CoreForTesting().ReadPipeForTesting(), nullptr);
    EXPECT_EQ(adapter->CoreForTesting().WritePipeForTesting(), nullptr);
}

TEST_F(LinkedAdapterTest, LinkCheckClosesThePairOnceTheKernelWindowIsGone)
{
    Link();
    window.Close();
    EXPECT_EQ(Save(L"k", L"v"), static_cast<ULONG>(VLS_FAIL));
    EXPECT_EQ(adapter->CoreForTesting().ReadPipeForTesting(), nullptr);
    EXPECT_EQ(adapter->CoreForTesting().WritePipeForTesting(), nullptr);
    ULONG result = 0;
    vl::UniqueBstr params{std::wstring_view(L"x")};
    EXPECT_EQ(control->SendCommand(2, 1, params.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
}

TEST_F(LinkedAdapterTest, KernelMessagesBecomeResultEventsExceptConsumedAndEmptyOnes)
{
    Link();
    for (int consumed : {3, 5, 6, 166}) peer->Send(consumed, 1, "x");
    peer->Send(2, 9, "");
    peer->Send(2, 9, "done");
    ASSERT_TRUE(PumpUntil([&] { return !events.Results().empty(); }, 3000));
    PumpMessages(300);
    const auto results = events.Results();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].cmd, 2u);
    EXPECT_EQ(results[0].serial, 9u);
    EXPECT_EQ(results[0].params, L"done");
}

TEST_F(LinkedAdapterTest, TwoMessagesInOneReadAreBothDelivered)
{
    Link();
    peer->SendRaw(WithNul("CmdID=2&&&&SerialNum=1&&&&Params=first") +
                  WithNul("CmdID=2&&&&SerialNum=2&&&&Params=second"));
    ASSERT_TRUE(PumpUntil([&] { return events.Results().size() == 2; }, 3000));
    EXPECT_EQ(events.Results()[0].params, L"first");
    EXPECT_EQ(events.Results()[1].params, L"second");
}

TEST_F(LinkedAdapterTest, ThePumpRunsOnWhenTheContainerTakesTheFormsWindow)
{
    Link();
    // A container destroyed with the form inside takes the form's window with it.
    vl::UniqueWindow container(::CreateWindowExW(0, L"STATIC", L"container", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                                 nullptr, nullptr, nullptr));
    adapter->Form().SetParentWindow(container.get());
    container.reset();
    peer->Send(2, 3, "after");
    ASSERT_TRUE(PumpUntil([&] { return !events.Results().empty(); }, 3000));
    EXPECT_EQ(events.Results()[0].params, L"after");
}

TEST_F(LinkedAdapterTest, CloseNoticeIsAnsweredAndEndsTheLink)
{
    Link();
    peer->Send(167, 0, "");
    ASSERT_TRUE(PumpUntil([&] { return peer->Received().size() >= 2; }, 3000));
    EXPECT_EQ(peer->Received().at(1), "CmdID=167&&&&SerialNum=0&&&&Params=NON");
    EXPECT_EQ(adapter->CoreForTesting().ReadPipeForTesting(), nullptr);
    EXPECT_EQ(adapter->CoreForTesting().WritePipeForTesting(), nullptr);
    EXPECT_FALSE(PumpEnabled());
    EXPECT_TRUE(events.Results().empty());
    EXPECT_EQ(Save(L"k", L"v"), static_cast<ULONG>(VLS_FAIL));
}

TEST_F(LinkedAdapterTest, BrokenPipeEndsTheLinkWithoutAnEvent)
{
    Link();
    peer->ClosePair();
    ASSERT_TRUE(PumpUntil([&] { return adapter->CoreForTesting().ReadPipeForTesting() == nullptr; }, 3000));
    EXPECT_EQ(adapter->CoreForTesting().WritePipeForTesting(), nullptr);
    EXPECT_FALSE(PumpEnabled());
    EXPECT_TRUE(events.Results().empty());
}

TEST_F(LinkedAdapterTest, WaitingRequestsCarryTheirFieldsAndTakeRetData)
{
    PeerOptions options;
    options.onMessage = AnswerRequests;
    Link(options);
    HRESULT hr = E_FAIL;
    EXPECT_EQ(Save(L"a", L"b", &hr), static_cast<ULONG>(VLS_OK));
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(Load(L"a", &hr), L"stored");
    EXPECT_EQ(hr, S_OK);
    ULONG result = 99;
    vl::UniqueBstr key{std::wstring_view(L"a")};
    EXPECT_EQ(control->ClearData(key.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_OK));
    const auto received = peer->Received();
    ASSERT_GE(received.size(), 4u);
    EXPECT_EQ(received[1], "CmdID=162&&&&SerialNum=0&&&&Params=Key=a&&&&Value=b");
    EXPECT_EQ(received[2], "CmdID=163&&&&SerialNum=0&&&&Params=Key=a");
    EXPECT_EQ(received[3], "CmdID=164&&&&SerialNum=0&&&&Params=Key=a");
    EXPECT_TRUE(PumpEnabled());
}

TEST_F(LinkedAdapterTest, RegionCheckAcceptsOnlyTheExactTrue)
{
    std::string answer;
    PeerOptions options;
    options.onMessage = [&](PeerKernel& peer, const vl::KernelMessage& message) {
        if (message.cmdId == 165) peer.Send(165, 0, answer);
    };
    Link(options);
    const std::pair<const char*, ULONG> cases[] = {
        {"RetData=TRUE", VLS_OK}, {"RetData=true", VLS_REGION_FAIL}, {"Other=TRUE", VLS_REGION_FAIL}};
    for (const auto& [text, expected] : cases) {
        answer = text;
        ULONG result = 99;
        EXPECT_EQ(control->CheckRegionInfo(&result), S_OK);
        EXPECT_EQ(result, expected) << text;
    }
}

TEST_F(LinkedAdapterTest, AnAnswerWithoutRetDataLoadsTheEmptyText)
{
    PeerOptions options;
    options.onMessage = [](PeerKernel& peer, const vl::KernelMessage& message) {
        if (message.cmdId == 163) peer.Send(163, 0, "Other=1");
    };
    Link(options);
    HRESULT hr = E_FAIL;
    EXPECT_EQ(Load(L"k", &hr), L"");
    EXPECT_EQ(hr, S_OK);
}

TEST_F(LinkedAdapterTest, UnansweredRequestIsWrittenFiveTimesAndFails)
{
    Link();
    HRESULT hr = S_OK;
    EXPECT_EQ(Save(L"k", L"v", &hr), static_cast<ULONG>(VLS_FAIL));
    EXPECT_EQ(hr, S_FALSE);
    ASSERT_TRUE(peer->WaitReceived(6, 1000));
    const auto received = peer->Received();
    EXPECT_EQ(std::count(received.begin(), received.end(), "CmdID=162&&&&SerialNum=0&&&&Params=Key=k&&&&Value=v"),
              5);
    EXPECT_FALSE(PumpEnabled());
}

TEST_F(LinkedAdapterTest, AnswerToTheSecondCopyStillCounts)
{
    int copies = 0;
    PeerOptions options;
    options.onMessage = [&](PeerKernel& peer, const vl::KernelMessage& message) {
        if (message.cmdId == 162 && ++copies == 2) peer.Send(162, 0, "RetData=OK");
    };
    Link(options);
    EXPECT_EQ(Save(L"k", L"v"), static_cast<ULONG>(VLS_OK));
    EXPECT_EQ(copies, 2);
}

TEST_F(LinkedAdapterTest, UnrelatedMessageDuringAnExchangeIsDeliveredAfterwards)
{
    PeerOptions options;
    options.onMessage = [](PeerKernel& peer, const vl::KernelMessage& message) {
        if (message.cmdId != 162) return;
        peer.Send(2, 4, "meanwhile");
        ::Sleep(150);
        peer.Send(162, 0, "RetData=OK");
    };
    Link(options);
    EXPECT_EQ(Save(L"k", L"v"), static_cast<ULONG>(VLS_OK));
    ASSERT_TRUE(PumpUntil([&] { return !events.Results().empty(); }, 3000));
    EXPECT_EQ(events.Results()[0].cmd, 2u);
    EXPECT_EQ(events.Results()[0].params, L"meanwhile");
}

TEST_F(LinkedAdapterTest, LateAnswerNeverPassesForTheAnswerToANewerRequest)
{
    int loads = 0;
    PeerOptions options;
    options.onMessage = [&](PeerKernel& peer, const vl::KernelMessage& message) {
        if (message.cmdId != 163) return;
        // The first request is answered only once its exchange has given up.
        if (++loads == 1) {
            ::Sleep(2500);
            peer.Send(163, 0, "RetData=late");
        } else if (message.params == L"Key=second") {
            peer.Send(163, 0, "RetData=fresh");
        }
    };
    Link(options);
    HRESULT hr = S_OK;
    EXPECT_EQ(Load(L"first", &hr), L"Failure");
    EXPECT_EQ(hr, S_FALSE);
    ::Sleep(1000); // the late answer is in the pipe now
    EXPECT_EQ(Load(L"second", &hr), L"fresh");
    EXPECT_EQ(hr, S_OK);
    // The late answer reaches the page as an ordinary result.
    ASSERT_TRUE(PumpUntil([&] { return !events.Results().empty(); }, 3000));
    EXPECT_EQ(events.Results()[0].cmd, 163u);
    EXPECT_EQ(events.Results()[0].params, L"RetData=late");
}

TEST_F(LinkedAdapterTest, OversizeRequestsAreRefusedAndNothingIsWritten)
{
    Link();
    const std::wstring huge(5000, L'v');
    HRESULT hr = S_OK;
    EXPECT_EQ(Save(L"k", huge.c_str(), &hr), static_cast<ULONG>(VLS_FAIL));
    EXPECT_EQ(Load(huge.c_str()), L"Failure");
    ULONG result = 0;
    vl::UniqueBstr params{std::wstring_view(huge)};
    EXPECT_EQ(control->SendCommand(2, 0, params.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    PumpMessages(200);
    EXPECT_EQ(peer->Received().size(), 1u); // the registration only
    EXPECT_TRUE(PumpEnabled());
}

// Text the system's code page cannot carry exactly is refused as each method refuses text
// that would not be one message, before anything is written or stored: two keys never
// become one, and no value reaches the kernel changed.
TEST_F(LinkedAdapterTest, TextTheCodePageCannotCarryIsRefusedAndNothingIsWritten)
{
    PeerOptions options;
    options.onMessage = AnswerRequests;
    Link(options);
    const std::wstring emoji = L"\xD83D\xDE00";
    const auto code = [](ULONG result, HRESULT hr) { return std::to_wstring(result) + L" " + std::to_wstring(hr); };
    const struct {
        const char* call;
        std::function<std::wstring()> run;
        std::wstring answer;
    } cases[] = {
        {"SaveData key", [&] { HRESULT hr; ULONG r = Save((emoji + L"key").c_str(), L"v", &hr); return code(r, hr); }, L"1 1"},
        {"SaveData value", [&] { HRESULT hr; ULONG r = Save(L"k", (L"score " + emoji).c_str(), &hr); return code(r, hr); }, L"1 1"},
        {"SaveData look-alike", [&] { HRESULT hr; ULONG r = Save(L"k", L"\x0101", &hr); return code(r, hr); }, L"1 1"},
        {"LoadData key", [&] { HRESULT hr; std::wstring v = Load(emoji.c_str(), &hr); return v + L" " + std::to_wstring(hr); }, L"Failure 1"},
        {"ClearData key", [&] {
             vl::UniqueBstr key{std::wstring_view(emoji)};
             ULONG r = 99;
             const HRESULT hr = control->ClearData(key.get(), &r);
             return code(r, hr);
         }, L"1 0"},
        {"SendCommand parameters", [&] {
             vl::UniqueBstr params{std::wstring_view(L"p=" + emoji)};
             ULONG r = 99;
             const HRESULT hr = control->SendCommand(2, 0, params.get(), &r);
             return code(r, hr);
         }, L"1 0"},
        {"Initialize2 page address", [&] {
             vl::UniqueBstr region{std::wstring_view(L"TW;Production")}, version{std::wstring_view(L"1.0.0.10")},
                 site{std::wstring_view(L"http://tw.vorlink.com/" + emoji)};
             ULONG r = 99;
             const HRESULT hr = control->Initialize2(region.get(), version.get(), nullptr, 30, site.get(), &r);
             return code(r, hr);
         }, L"1 1"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.run(), c.answer) << c.call;
    PumpMessages(100);
    EXPECT_EQ(peer->Received().size(), 1u); // the registration only
    EXPECT_TRUE(adapter->CoreForTesting().IsKernelLinked());
}

// A Chinese system's code page carries Chinese text: it goes out in the code page's bytes
// and comes back as it went.
TEST_F(LinkedAdapterTest, TextTheCodePageCarriesGoesOutInItsBytes)
{
    vl::Platform().getACP = ChineseCodePage;
    PeerOptions options;
    options.onMessage = [](PeerKernel& peer, const vl::KernelMessage& message) {
        if (message.cmdId == 162) peer.Send(162, 0, "RetData=OK");
        if (message.cmdId == 163) peer.Send(163, 0, "RetData=\xD6\xD0\xCE\xC4");
    };
    Link(options);
    EXPECT_EQ(Save(L"\x4E2D\x6587", L"\x503C"), static_cast<ULONG>(VLS_OK));
    EXPECT_EQ(Load(L"\x4E2D\x6587"), L"\x4E2D\x6587");
    const auto received = peer->Received();
    ASSERT_GE(received.size(), 3u);
    EXPECT_EQ(received[1], "CmdID=162&&&&SerialNum=0&&&&Params=Key=\xD6\xD0\xCE\xC4&&&&Value=\xD6\xB5");
    EXPECT_EQ(received[2], "CmdID=163&&&&SerialNum=0&&&&Params=Key=\xD6\xD0\xCE\xC4");
}

TEST_F(LinkedAdapterTest, SendCommandPassesThePagesNumbersAsSignedDecimals)
{
    Link();
    ULONG result = 99;
    vl::UniqueBstr params{std::wstring_view(L"Echo=1&&&&x=y")};
    EXPECT_EQ(control->SendCommand(4294967295u, 7, params.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_OK));
    ASSERT_TRUE(peer->WaitReceived(2, 2000));
    EXPECT_EQ(peer->Received()[1], "CmdID=-1&&&&SerialNum=7&&&&Params=Echo=1&&&&x=y");
}

TEST_F(LinkedAdapterTest, PageHandlerMayCallTheControlFromInsideAnEvent)
{
    PeerOptions options;
    options.onMessage = AnswerRequests;
    Link(options);
    std::wstring loaded;
    events.OnResult([&](const RecordedEvent&) {
        if (loaded.empty()) loaded = Load(L"k");
    });
    peer->Send(2, 1, "ping");
    ASSERT_TRUE(PumpUntil([&] { return !loaded.empty(); }, 4000));
    EXPECT_EQ(loaded, L"stored");
}

TEST_F(AdapterTest, RequestsBeforeInitializeFailAtOnce)
{
    ASSERT_TRUE(CreateControl());
    vl::UniqueBstr key{std::wstring_view(L"k")}, value{std::wstring_view(L"v")};
    ULONG result = 99;
    EXPECT_EQ(control->SaveData(key.get(), value.get(), &result), S_OK);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    vl::UniqueBstr loaded;
    EXPECT_EQ(control->LoadData(key.get(), loaded.put()), S_OK);
    EXPECT_EQ(loaded.str(), L"Failure");
    ULONG id = 99;
    EXPECT_EQ(control->GetActivexObjID(&id), S_OK);
    EXPECT_EQ(id, 0u);
    vl::UniqueBstr version;
    EXPECT_EQ(control->GetVersion(version.put()), S_OK);
    EXPECT_EQ(version.str(), L"1.1.31.362");
}

TEST_F(AdapterTest, UpdateStatusComesFromTheUpdatersProgressValue)
{
    ASSERT_TRUE(CreateControl());
    vl::UniqueBstr key{std::wstring_view(L"UpdateStatus")}, value;
    EXPECT_EQ(control->LoadData(key.get(), value.put()), S_OK);
    EXPECT_EQ(value.str(), L"Status=Waiting");
    HKEY product = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Torvane\\vorlink!", 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &product, nullptr),
              ERROR_SUCCESS);
    const wchar_t progress[] = L"Status=Downloading&&&&Percent=40";
    ::RegSetValueExW(product, L"Progress", 0, REG_SZ, reinterpret_cast<const BYTE*>(progress), sizeof progress);
    ::RegCloseKey(product);
    EXPECT_EQ(control->LoadData(key.get(), value.put()), S_OK);
    EXPECT_EQ(value.str(), progress);
    // Another letter case is an ordinary key for the kernel, and there is no link.
    vl::UniqueBstr other{std::wstring_view(L"updatestatus")};
    EXPECT_EQ(control->LoadData(other.get(), value.put()), S_OK);
    EXPECT_EQ(value.str(), L"Failure");
}
