// Requests made while another request waits, and the host's quit message during a wait.
// ctest: RESOURCE_LOCK product_state
#include <gtest/gtest.h>

#include <algorithm>

#include "fixtures/adapter_fixture.h"
#include "fixtures/peer_kernel.h"

using namespace vl::test;

namespace {

constexpr UINT kNestedRequest = WM_APP + 3;
constexpr int kMostRequests = 12;

struct NestedRequests {
    IVLServiceAdapterX* control = nullptr;
    HWND window = nullptr;
    int made = 0;
    std::vector<std::pair<HRESULT, ULONG>> results;

    // Asks for the next request from inside the wait of this one, then makes it.
    void Make()
    {
        const int number = made++;
        if (made < kMostRequests) ::PostMessageW(window, kNestedRequest, 0, 0);
        const std::wstring keyText = L"k" + std::to_wstring(number);
        vl::UniqueBstr key{std::wstring_view(keyText)}, value{std::wstring_view(L"v")};
        ULONG result = 99;
        const HRESULT hr = control->SaveData(key.get(), value.get(), &result);
        results.resize(std::max<std::size_t>(results.size(), static_cast<std::size_t>(number) + 1));
        results[static_cast<std::size_t>(number)] = {hr, result};
    }
};

NestedRequests* g_requests = nullptr;

LRESULT CALLBACK NestedRequestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kNestedRequest && g_requests) {
        g_requests->Make();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

class ReentrancyTest : public AdapterTest {
protected:
    void SetUp() override
    {
        AdapterTest::SetUp();
        ASSERT_TRUE(CreateControl());
        // A kernel that never answers: every request waits until its deadline.
        peer = std::make_unique<PeerKernel>();
        ASSERT_TRUE(adapter->CoreForTesting().CreatePipeChannel());
        ASSERT_TRUE(adapter->CoreForTesting().RegisterToWidgetKernel());
        ASSERT_TRUE(peer->WaitReceived(1, 2000));
    }

    void TearDown() override
    {
        peer.reset();
        AdapterTest::TearDown();
    }

    std::size_t Copies(const std::string& key) const
    {
        const auto received = peer->Received();
        return static_cast<std::size_t>(std::count(received.begin(), received.end(),
                                                   "CmdID=162&&&&SerialNum=0&&&&Params=Key=" + key + "&&&&Value=v"));
    }

    FakeKernelWindow window;
    std::unique_ptr<PeerKernel> peer;
};

} // namespace

TEST_F(ReentrancyTest, RequestsNestEightDeepAndDeeperOnesFailWithoutWriting)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = NestedRequestProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"NestedRequestWindow";
    ::RegisterClassW(&windowClass);
    vl::UniqueWindow helper(::CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                            windowClass.hInstance, nullptr));
    NestedRequests requests;
    requests.control = control.get();
    requests.window = helper.get();
    g_requests = &requests;
    requests.Make();
    g_requests = nullptr;

    ASSERT_EQ(requests.results.size(), static_cast<std::size_t>(kMostRequests));
    ASSERT_TRUE(peer->WaitReceived(1 + 8 * 5, 2000));
    for (int i = 0; i < kMostRequests; ++i) {
        std::string key = std::to_string(i);
        key.insert(key.begin(), 'k');
        EXPECT_EQ(requests.results[i].first, S_FALSE) << key;
        EXPECT_EQ(requests.results[i].second, static_cast<ULONG>(VLS_FAIL)) << key;
        EXPECT_EQ(Copies(key), i < vl::KernelLink::kMaxExchangeDepth ? 5u : 0u) << key;
    }
}

TEST_F(ReentrancyTest, QuitDuringARequestEndsItAndStaysForTheHostsLoop)
{
    ::PostQuitMessage(7);
    vl::UniqueBstr key{std::wstring_view(L"k")}, value{std::wstring_view(L"v")};
    ULONG result = 99;
    EXPECT_EQ(control->SaveData(key.get(), value.get(), &result), S_FALSE);
    EXPECT_EQ(result, static_cast<ULONG>(VLS_FAIL));
    ASSERT_TRUE(peer->WaitReceived(2, 2000));
    ::Sleep(50);
    EXPECT_EQ(Copies("k"), 1u);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}
