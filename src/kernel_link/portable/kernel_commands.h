// The command numbers (CmdID) of the kernel messages that the adapter sends or handles
// itself. A page's own commands (SendCommand) and the kernel's results for the page carry
// any other number.
#pragma once

#include <cstdint>

namespace vl::kernel_command {

// Adapter to kernel.
inline constexpr std::int32_t kLeaveNotice = 1;    // Uninitialize: the adapter leaves; empty parameters
inline constexpr std::int32_t kRegistration = 3;   // "WidgetName=ActiveX" after the handshake
inline constexpr std::int32_t kSaveData = 162;     // "Key=k&&&&Value=v"
inline constexpr std::int32_t kLoadData = 163;     // "Key=k"
inline constexpr std::int32_t kClearData = 164;    // "Key=k"
inline constexpr std::int32_t kCheckRegion = 165;  // "Region=<region value>"
inline constexpr std::int32_t kPipeIdNotice = 1325; // on the main pipe: "PipeID=N" names the pair

// Kernel to adapter, handled without an event.
inline constexpr std::int32_t kGreeting = 5;          // what the kernel sends on a new pair
inline constexpr std::int32_t kRegistrationAnswer = 6; // the answer to kRegistration
inline constexpr std::int32_t kRetDataNotice = 166;   // a "RetData=" answer nobody waits for

// Both ways: the kernel closes the link, and the adapter answers "NON" before it closes its ends.
inline constexpr std::int32_t kCloseNotice = 167;

} // namespace vl::kernel_command
