// The stand-in kernel's journal, for tests: when the environment variable VL_KERNEL_LOG
// names a file, the kernel appends to it, one line each in the ANSI code page, its command
// line when it starts ("command line: ...") and every message an adapter sends it
// ("message: CmdID=..&&&&SerialNum=..&&&&Params=..."); CR and LF are written as "\r" and
// "\n". Tests read from it what reached the kernel.
#pragma once

#include <string_view>

namespace vl {

// Appends one line when the journal is on; threads and processes may write at once.
void JournalLine(std::wstring_view line);

} // namespace vl
