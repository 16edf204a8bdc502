#include "support/portable/development_mode_decision.h"

namespace vl {

DevelopmentModeDecision DecideDevelopmentMode(bool virtualizedRegistry, std::wstring_view machineValue,
                                              std::wstring_view userValue)
{
    if (userValue != kDevelopmentModeText) return DevelopmentModeDecision::Off;
    // A legacy program without a manifest, run by a standard user, reads HKEY_LOCAL_MACHINE
    // through the user's VirtualStore, which any program of the user can write.
    if (virtualizedRegistry) return DevelopmentModeDecision::VirtualizedRegistry;
    return machineValue == kDevelopmentModeText ? DevelopmentModeDecision::On : DevelopmentModeDecision::UserValueOnly;
}

} // namespace vl
