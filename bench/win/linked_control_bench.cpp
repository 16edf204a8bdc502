// linked_control_bench: the control linked to a responsive kernel, called directly as a
// page's script engine would call it but without one. Needs the maker-signed stand-in
// kernel in the home folder (bench_state install); starts it itself.
//   - handshake: Initialize2 until VLS_OK with the kernel already running, a new instance
//     each time, after the instance's first call (GetVersion), which runs the kernel's
//     registration and is timed apart; the registration run ends before Initialize2, as it
//     does on a machine with a core to spare;
//   - requests: SaveData and LoadData round trips;
//   - OnResult delivery: the echo of a command sent while the thread is idle (median of
//     rounds), and the whole burst the kernel sends (CmdID 100);
//   - idle: CPU time and wake-ups of this process over 10 s with a linked control whose
//     page does nothing, and over 10 s with the module loaded but no instance;
//   - soak: 20 linked controls, 1,000 requests each; the process's handles, windows, GDI
//     and USER objects and private memory before and after the requests.
// With the argument "requests", only the handshakes, the requests and the burst run.
#include <windows.h>
#include <tlhelp32.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench_report.h"
#include "control_module.h"
#include "kernel/stand_in_commands.h"
#include "process_measures.h"
#include "fixtures/event_recorder.h"
#include "fixtures/product_state.h"
#include "fixtures/child_process.h"
#include "fixtures/kernel_client.h"

namespace {

using vl::UniqueBstr;
using vl::bench::PrintFigure;
using vl::bench::PrintMissing;
using vl::bench::Stopwatch;

constexpr wchar_t kRegion[] = L"TW;Production";
constexpr wchar_t kKernelVersion[] = L"1.0.0.10";
constexpr int kHandshakes = 10;
constexpr int kRequests = 200;
constexpr ULONG kBurstCmd = vl::stand_in_command::kBurst;
constexpr ULONG kBurstSerial = 4242;
constexpr int kBurstCount = 50;
constexpr DWORD kBurstLimitMs = 15000;
constexpr ULONG kEchoCmd = 2001; // echoed by the kernel
constexpr int kEchoRounds = 50;
constexpr DWORD kIdleMs = 10000;
constexpr int kSoakControls = 20;
constexpr int kSoakRequests = 1000;

bool g_requestsOnly = false;

// Initialize2 as a page calls it; the result code, or nothing when the call failed.
std::optional<ULONG> Initialize2(IVLServiceAdapterX* control)
{
    UniqueBstr region{std::wstring_view(kRegion)}, version{std::wstring_view(kKernelVersion)},
        checksum{std::wstring_view(L"")}, site{std::wstring_view(L"")};
    ULONG result = VLS_FAIL;
    if (FAILED(control->Initialize2(region.get(), version.get(), checksum.get(), 30, site.get(), &result)))
        return std::nullopt;
    return result;
}

// Processes running the kernel's file (the kernel, and a registration run while it lasts).
int KernelProcesses()
{
    const vl::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        count += _wcsicmp(entry.szExeFile, L"VLWidgetKernel.exe") == 0;
    return count;
}

bool MeasureHandshakes(vl::bench::ControlModule& module)
{
    std::vector<double> samples;
    std::vector<double> firstCalls;
    for (int i = 0; i < kHandshakes; ++i) {
        const auto control = module.CreateInstance();
        if (!control) break;
        Stopwatch watch;
        UniqueBstr version;
        if (FAILED(control->GetVersion(version.put()))) break;
        firstCalls.push_back(watch.Milliseconds());
        for (int wait = 0; wait < 500 && KernelProcesses() > 1; ++wait) ::Sleep(10);
        watch.Restart();
        if (Initialize2(control.get()) != static_cast<ULONG>(VLS_OK)) break;
        samples.push_back(watch.Milliseconds());
    }
    if (samples.size() != static_cast<std::size_t>(kHandshakes)) {
        PrintMissing("handshake", "Initialize2 did not link");
        return false;
    }
    vl::bench::PrintLatency("handshake", samples, "ms");
    vl::bench::PrintLatency("firstcall", firstCalls, "ms");
    return true;
}

void MeasureRequests(IVLServiceAdapterX* control)
{
    std::vector<double> saves;
    std::vector<double> loads;
    const UniqueBstr key{std::wstring_view(L"bench")};
    for (int i = 0; i < kRequests; ++i) {
        const std::wstring text = L"value " + std::to_wstring(i);
        const UniqueBstr value{std::wstring_view(text)};
        ULONG result = VLS_FAIL;
        Stopwatch watch;
        if (control->SaveData(key.get(), value.get(), &result) != S_OK || result != VLS_OK) break;
        saves.push_back(watch.Milliseconds());
        UniqueBstr loaded;
        watch.Restart();
        if (control->LoadData(key.get(), loaded.put()) != S_OK || loaded.str() != text) break;
        loads.push_back(watch.Milliseconds());
    }
    if (loads.size() != static_cast<std::size_t>(kRequests)) {
        PrintMissing("inproc.requests", "a request failed after " + std::to_string(loads.size()) + " round trips");
        return;
    }
    vl::bench::PrintLatency("inproc.save", saves, "ms");
    vl::bench::PrintLatency("inproc.load", loads, "ms");
}

void MeasureFirstResult(IVLServiceAdapterX* control)
{
    vl::test::EventRecorder events;
    if (!events.Connect(control)) {
        PrintMissing("inproc.onresult.first", "the event sink was refused");
        return;
    }
    std::vector<double> samples;
    Stopwatch watch;
    ULONG serial = 0;
    std::optional<double> arrival;
    events.OnResult([&](const vl::test::RecordedEvent& event) {
        if (event.cmd == kEchoCmd && event.serial == serial && !arrival) arrival = watch.Milliseconds();
    });
    const UniqueBstr params{std::wstring_view(L"Bench=first")};
    for (; serial < kEchoRounds; ++serial) {
        vl::bench::RunMessageLoop(5);
        arrival.reset();
        ULONG result = VLS_FAIL;
        watch.Restart();
        if (control->SendCommand(kEchoCmd, serial, params.get(), &result) != S_OK || result != VLS_OK) break;
        while (!arrival && watch.Milliseconds() < kBurstLimitMs) vl::bench::RunMessageLoop(1);
        if (!arrival) break;
        samples.push_back(*arrival);
    }
    events.Disconnect();
    if (samples.size() != static_cast<std::size_t>(kEchoRounds)) {
        PrintMissing("inproc.onresult.first", "no OnResult after " + std::to_string(samples.size()) + " commands");
        return;
    }
    PrintFigure("inproc.onresult.first_ms", vl::bench::Median(samples), "ms");
}

void MeasureBurst(IVLServiceAdapterX* control)
{
    vl::test::EventRecorder events;
    if (!events.Connect(control)) {
        PrintMissing("inproc.onresult", "the event sink was refused");
        return;
    }
    std::vector<double> arrivals; // ms after the command
    Stopwatch watch;
    events.OnResult([&](const vl::test::RecordedEvent& event) {
        if (event.cmd == kBurstCmd && event.serial == kBurstSerial) arrivals.push_back(watch.Milliseconds());
    });
    const UniqueBstr params{std::wstring_view(L"Count=" + std::to_wstring(kBurstCount))};
    ULONG result = VLS_FAIL;
    watch.Restart();
    if (control->SendCommand(kBurstCmd, kBurstSerial, params.get(), &result) != S_OK || result != VLS_OK) {
        PrintMissing("inproc.onresult", "SendCommand failed");
        return;
    }
    while (arrivals.size() < static_cast<std::size_t>(kBurstCount) && watch.Milliseconds() < kBurstLimitMs)
        vl::bench::RunMessageLoop(20);
    events.Disconnect();
    if (arrivals.size() < 2) {
        PrintMissing("inproc.onresult", "the burst did not arrive");
        return;
    }
    PrintFigure("inproc.onresult.events", static_cast<double>(arrivals.size()), "events");
    PrintFigure("inproc.onresult.burst_ms", arrivals.back(), "ms");
    PrintFigure("inproc.onresult.events_per_s",
                (arrivals.size() - 1) * 1000.0 / (arrivals.back() - arrivals.front()), "events/s");
}

// CPU time and wake-ups of this process over kIdleMs of a message loop that sleeps until a
// message comes.
void MeasureIdle(const std::string& key)
{
    const double before = vl::bench::CpuMilliseconds(::GetCurrentProcess());
    const Stopwatch watch;
    const int wakeUps = vl::bench::RunMessageLoop(kIdleMs);
    PrintFigure(key + ".wall_ms", watch.Milliseconds(), "ms");
    PrintFigure(key + ".cpu_ms", vl::bench::CpuMilliseconds(::GetCurrentProcess()) - before, "ms");
    PrintFigure(key + ".wakeups", wakeUps, "wake-ups");
}

void PrintResources(const std::string& key, const vl::bench::ProcessResources& resources)
{
    PrintFigure(key + ".handles", resources.handles, "handles");
    PrintFigure(key + ".windows", resources.windows, "windows");
    PrintFigure(key + ".gdi", resources.gdiObjects, "objects");
    PrintFigure(key + ".user", resources.userObjects, "objects");
    PrintFigure(key + ".committed_kib", static_cast<double>(resources.committedBytes) / 1024.0, "KiB");
    PrintFigure(key + ".heap_kib", static_cast<double>(resources.heapBytes) / 1024.0, "KiB");
}

// Requests of every control in turn, so that each link is used while the others wait.
bool SoakRequests(const std::vector<vl::ComPtr<IVLServiceAdapterX>>& controls, int rounds)
{
    const UniqueBstr key{std::wstring_view(L"soak")}, value{std::wstring_view(L"soak value")};
    for (int round = 0; round < rounds; ++round) {
        for (const auto& control : controls) {
            ULONG result = VLS_FAIL;
            if (control->SaveData(key.get(), value.get(), &result) != S_OK || result != VLS_OK) return false;
        }
    }
    return true;
}

void MeasureSoak(vl::bench::ControlModule& module)
{
    std::vector<vl::ComPtr<IVLServiceAdapterX>> controls;
    for (int i = 0; i < kSoakControls; ++i) {
        auto control = module.CreateInstance();
        if (!control || Initialize2(control.get()) != static_cast<ULONG>(VLS_OK)) {
            PrintMissing("soak", "control " + std::to_string(i) + " did not link");
            return;
        }
        controls.push_back(std::move(control));
    }
    // A first round settles what the process allocates once (caches, the wait threads).
    if (!SoakRequests(controls, 10)) {
        PrintMissing("soak", "a request failed");
        return;
    }
    vl::bench::RunMessageLoop(200);
    PrintResources("soak.before", vl::bench::ReadProcessResources());
    const Stopwatch watch;
    if (!SoakRequests(controls, kSoakRequests)) {
        PrintMissing("soak", "a request failed");
        return;
    }
    PrintFigure("soak.requests", kSoakControls * kSoakRequests, "requests");
    PrintFigure("soak.seconds", watch.Seconds(), "s");
    vl::bench::RunMessageLoop(200);
    PrintResources("soak.after", vl::bench::ReadProcessResources());
}

int Run()
{
    vl::test::ChildProcess kernel(vl::test::HomeFolder() + L"\\VLWidgetKernel.exe", kRegion);
    if (!kernel.Started() || !vl::test::WaitForKernelWindow(10000)) {
        PrintMissing("linked", "the kernel in the home folder did not start (run bench_state install first)");
        return 1;
    }
    vl::bench::ControlModule module;
    if (!module.Load(vl::bench::BuiltModulePath())) {
        PrintMissing("linked", module.Failure());
        return 1;
    }
    if (!g_requestsOnly) MeasureIdle("idle.unlinked");
    if (!MeasureHandshakes(module)) return 1;
    const auto control = module.CreateInstance();
    if (!control || Initialize2(control.get()) != static_cast<ULONG>(VLS_OK)) {
        PrintMissing("linked", "Initialize2 did not link");
        return 1;
    }
    MeasureRequests(control.get());
    MeasureFirstResult(control.get());
    MeasureBurst(control.get());
    if (g_requestsOnly) return 0;
    MeasureIdle("idle.linked");
    MeasureSoak(module);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    g_requestsOnly = argc == 2 && std::string_view(argv[1]) == "requests";
    return vl::bench::RunOnPageThread("linked", Run);
}
