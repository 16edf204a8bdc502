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

// Dispatches the thread's messages for `ms` milliseconds, blocked while none is waiting.
void RunMessageLoop(DWORD ms);

} // namespace vl::bench
