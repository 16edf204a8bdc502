// The page commands that the stand-in kernel answers in its own way (every other page
// command is echoed): the test programs and benchmarks use them to make it send.
#pragma once

#include <cstdint>

namespace vl::stand_in_command {

// "Count=n": n messages 100 "Burst=i&&&&Count=n" with the request's SerialNum.
inline constexpr std::int32_t kBurst = 100;
// The kernel closes the link with its close notice.
inline constexpr std::int32_t kClose = 101;

} // namespace vl::stand_in_command
