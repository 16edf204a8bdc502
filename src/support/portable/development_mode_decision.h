// Whether development mode (the publisher check switched off) holds, from what the process
// read: the string "envver" of the product's key under HKEY_CURRENT_USER and under
// HKEY_LOCAL_MACHINE, and whether Windows virtualizes the process's registry.
#pragma once

#include <string_view>

namespace vl {

inline constexpr std::wstring_view kDevelopmentModeValue = L"envver";
inline constexpr std::wstring_view kDevelopmentModeText = L"Develop";

enum class DevelopmentModeDecision {
    Off,             // the user's value does not ask for it
    On,              // both values are exactly "Develop"
    UserValueOnly,   // the user's value asks, the machine's does not: any program of the
                     // user can write the user's value
    VirtualizedRegistry, // the user's value asks, but the machine's key that the process
                         // reads may be the user's own VirtualStore copy
};

// `virtualizedRegistry` is true, too, when the process could not tell.
DevelopmentModeDecision DecideDevelopmentMode(bool virtualizedRegistry, std::wstring_view machineValue,
                                              std::wstring_view userValue);

} // namespace vl
