#include "process_measures.h"

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vl::bench {

namespace {

double Milliseconds(const FILETIME& time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 10000.0;
}

} // namespace

double CpuMilliseconds(HANDLE process)
{
    FILETIME created, ended, kernel, user;
    if (!::GetProcessTimes(process, &created, &ended, &kernel, &user)) return 0;
    return Milliseconds(kernel) + Milliseconds(user);
}

std::size_t ReportedPrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof counters))
        return 0;
    return counters.PrivateUsage;
}

std::size_t CommittedPrivateBytes()
{
    std::size_t total = 0;
    MEMORY_BASIC_INFORMATION region{};
    std::uintptr_t address = 0;
    while (::VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const std::uintptr_t next = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break; // the top of the address space
        address = next;
    }
    return total;
}

std::size_t HeapBytesInUse()
{
    std::vector<HANDLE> heaps(::GetProcessHeaps(0, nullptr) + 16);
    const DWORD count = ::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    heaps.resize(std::min<std::size_t>(count, heaps.size()));
    std::size_t total = 0;
    for (HANDLE heap : heaps) {
        if (!::HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (::HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        ::HeapUnlock(heap);
    }
    return total;
}

int RunMessageLoop(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    int wakeUps = 0;
    for (DWORD elapsed = 0; elapsed < ms; elapsed = ::GetTickCount() - start) {
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT) == WAIT_OBJECT_0) ++wakeUps;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return wakeUps;
}

namespace {

BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

// A top-level window and all its descendants, which EnumChildWindows visits at every depth.
BOOL CALLBACK CountWindowTree(HWND window, LPARAM count)
{
    CountWindow(window, count);
    ::EnumChildWindows(window, CountWindow, count);
    return TRUE;
}

// The entries of this process in the system's handle table (GetProcessHandleCount reads 0
// under Wine, the table does not).
DWORD ProcessHandles()
{
    struct HandleEntry {
        ULONG processId;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ACCESS_MASK access;
    };
    using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    const auto query = reinterpret_cast<QuerySystemInformation>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation"));
    if (!query) return 0;
    std::vector<BYTE> table(1 << 16);
    LONG status = 0;
    while ((status = query(kSystemHandleInformation, table.data(), static_cast<ULONG>(table.size()), nullptr)) ==
           kInfoLengthMismatch)
        table.resize(table.size() * 2);
    if (status != 0) return 0;
    const ULONG count = std::min<ULONG>(*reinterpret_cast<const ULONG*>(table.data()),
                                        (table.size() - sizeof(ULONG_PTR)) / sizeof(HandleEntry));
    const auto* entries = reinterpret_cast<const HandleEntry*>(table.data() + sizeof(ULONG_PTR));
    DWORD own = 0;
    for (ULONG i = 0; i < count; ++i)
        if (entries[i].processId == ::GetCurrentProcessId()) ++own;
    return own;
}

DWORD ThreadWindows()
{
    DWORD count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountWindowTree, reinterpret_cast<LPARAM>(&count));
    // Message-only windows are not enumerated with the others.
    for (HWND window = nullptr; (window = ::FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr));)
        if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId()) ++count;
    return count;
}

} // namespace

ProcessResources ReadProcessResources()
{
    ProcessResources resources;
    resources.handles = ProcessHandles();
    resources.windows = ThreadWindows();
    resources.gdiObjects = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    resources.userObjects = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    resources.committedBytes = CommittedPrivateBytes();
    resources.heapBytes = HeapBytesInUse();
    return resources;
}

} // namespace vl::bench
