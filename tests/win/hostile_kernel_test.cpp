// A kernel that floods the link with thousands of messages, bytes that are no messages and
// runs without a NUL, while the page makes a request that is answered late.
// ctest: RESOURCE_LOCK product_state
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <regex>

#include "fixtures/adapter_fixture.h"
#include "fixtures/event_recorder.h"
#include "fixtures/child_process.h"
#include "fixtures/kernel_client.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"
#include "support/widget_log.h"

using namespace vl::test;

namespace {

constexpr int kFlood = 3000;

SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters);
    return counters.PrivateUsage;
}

// The page's own timer: it must keep running while the flood is delivered.
int g_pageTicks = 0;
void CALLBACK CountPageTick(HWND, UINT, UINT_PTR, DWORD)
{
    ++g_pageTicks;
}

} // namespace

TEST_F(AdapterTest, FloodingKernelNeitherStallsThePageNorGrowsTheControl)
{
    // The save is answered a second late: meanwhile the flood fills the kept messages.
    ChildProcess kernel(BuildFile(L"tools/kernel/VLWidgetKernel.exe"), L"TW;Production",
                        {{{L"VL_KERNEL_BEHAVIOUR", L"hostile:" + std::to_wstring(kFlood) + L",late:1000"}}});
    ASSERT_TRUE(kernel.Started());
    ASSERT_NE(WaitForKernelWindow(10000), nullptr);
    ASSERT_TRUE(CreateControl());
    EventRecorder events;
    ASSERT_TRUE(events.Connect(control.get()));
    TempFolder folder;
    vl::CVLWidgetLog log;
    ASSERT_TRUE(log.Open(folder.File(L"adapter.log"), L"w"));
    vl::g_pWidgetLog = &log;
    const SIZE_T before = PrivateBytes();
    const UINT_PTR pageTimer = ::SetTimer(nullptr, 0, 20, CountPageTick);

    ASSERT_TRUE(adapter->CoreForTesting().CreatePipeChannel());
    ASSERT_TRUE(adapter->CoreForTesting().RegisterToWidgetKernel());
    ASSERT_TRUE(PumpUntil([&] { return events.Results().size() >= 100; }, 10000));
    vl::UniqueBstr key{std::wstring_view(L"k")}, value{std::wstring_view(L"v")};
    ULONG saved = 99;
    EXPECT_EQ(control->SaveData(key.get(), value.get(), &saved), S_OK);
    EXPECT_EQ(saved, static_cast<ULONG>(VLS_OK));
    // The flood stays far below the kept messages' bound: the request drops nothing (what it
    // would drop is counted in a log line).
    const std::string text = ReadFileBytes(folder.File(L"adapter.log"));
    const std::regex dropLine(R"((\d+) kernel messages dropped: 4194304 bytes were kept already\.)");
    std::size_t dropped = 0;
    int dropLines = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), dropLine); it != std::sregex_iterator(); ++it) {
        dropped += std::stoul((*it)[1]);
        ++dropLines;
    }
    // Every well-formed message reaches the page, in order. The save was sent again
    // while its answer was late: the second answer reaches the page too, when it comes in
    // time, and is no flood message.
    const auto floodResults = [&] {
        const auto results = events.Results();
        return static_cast<std::size_t>(
            std::count_if(results.begin(), results.end(), [](const auto& result) { return result.cmd == 100u; }));
    };
    const int ticksBefore = g_pageTicks;
    PumpUntil([&] { return floodResults() + dropped >= kFlood; }, 30000);
    PumpMessages(300);
    const int pageTicks = g_pageTicks - ticksBefore;
    ::KillTimer(nullptr, pageTimer);
    vl::g_pWidgetLog = nullptr;
    const SIZE_T after = PrivateBytes();

    const auto results = events.Results();
    int expected = 1;
    for (const auto& result : results) {
        if (result.cmd == 162u) continue;
        ASSERT_EQ(result.cmd, 100u);
        const int number = std::stoi(result.params.substr(6));
        EXPECT_EQ(number, expected) << "every message once, in order";
        expected = number + 1;
    }
    EXPECT_EQ(dropLines, 0);
    EXPECT_EQ(floodResults(), static_cast<std::size_t>(kFlood));
    EXPECT_GT(pageTicks, 0);
    EXPECT_LT(after, before + 16 * 1024 * 1024);
    EXPECT_TRUE(adapter->CoreForTesting().IsKernelLinked());
}
