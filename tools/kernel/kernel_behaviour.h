// Test behaviours of the stand-in kernel, chosen at start by the environment variable
// VL_KERNEL_BEHAVIOUR: a comma-separated list of
//   late:<ms>          answers the requests 162 to 165 <ms> after they arrive
//   second_copy        ignores the first copy of each request 162 to 165 and answers the second
//   never_answer       never answers the requests 162 to 165
//   burst:<n>          sends <n> result messages right after the first message of each link
//   close_after:<ms>   closes each link <ms> after its first message with the close notice 167
//   no_first_message   never writes the first message of a link (handshakes then fail)
//   window_delay:<ms>  opens its window <ms> after the start
//   stay_after_leave   keeps running after the leave notice of its last link
//   deaf               reads nothing an adapter writes on its links: their pipes fill up
//   hostile:<n>        floods each link after its first message: <n> result messages 100
//                      "Flood=i&&&&Count=n", with bytes that are no message after every 10th
//                      and a run of 4,096 bytes without a NUL after every 100th; requests are
//                      answered between the messages
// Page commands, registration and the leave notice are never affected, except by deaf.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vl {

struct KernelBehaviour {
    std::uint32_t answerDelayMs = 0;
    bool answerSecondCopyOnly = false;
    bool neverAnswer = false;
    int burstCount = 0;
    std::optional<std::uint32_t> closeAfterMs;
    bool firstMessage = true;
    std::uint32_t windowDelayMs = 0;
    bool stayAfterLeave = false;
    int floodCount = 0;
    bool deaf = false;
};

// Nothing when a word or number is not understood: a mistyped behaviour must not pass as
// the normal kernel.
std::optional<KernelBehaviour> ParseKernelBehaviour(std::wstring_view text);

} // namespace vl
