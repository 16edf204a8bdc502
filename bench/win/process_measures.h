// What a benchmark reads about a process: its CPU time and its private memory, and a
// message loop that sleeps until a message comes, as a browser's does.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vl::bench {

// User plus kernel time of `process` so far, in milliseconds (Wine counts 10 ms ticks,
// and only for the calling process: others read as 0).
double CpuMilliseconds(HANDLE process);

// PrivateUsage of this process as GetProcessMemoryInfo reports it.
std::size_t ReportedPrivateBytes();
// Committed private memory of this process, summed over its regions (what PrivateUsage
// means on Windows; Wine does not fill that counter).
std::size_t CommittedPrivateBytes();

// Bytes of the blocks in use on every heap of this process.
std::size_t HeapBytesInUse();

// Dispatches the thread's messages for `ms` milliseconds, blocked while none is waiting;
// how often the thread woke up.
int RunMessageLoop(DWORD ms);

// What the process holds of the system: handles, windows of the calling thread (message-only
// ones included), GDI and USER objects, and private memory.
struct ProcessResources {
    DWORD handles = 0;
    DWORD windows = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    std::size_t committedBytes = 0;
    std::size_t heapBytes = 0;
};
ProcessResources ReadProcessResources();

} // namespace vl::bench
