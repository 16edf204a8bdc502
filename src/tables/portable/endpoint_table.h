// The service endpoints per region, environment and role.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vl {

struct SVLWUrlInfo {
    std::uint8_t role;
    std::wstring text;
};

inline constexpr int kEndpointRoleCount = 14;
inline constexpr int kPatchBaseRole = 2;
inline constexpr int kInstallPageRole = 10;

// The endpoint of `role` for a region value "REGION;Environment" (split at the first
// ";", both parts compared exactly); empty for any other region, environment or role.
std::wstring LookupEndpoint(std::wstring_view regionValue, int role);

} // namespace vl
