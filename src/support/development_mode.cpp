#include "support/development_mode.h"

#include "support/platform_calls.h"
#include "support/product_registry.h"
#include "support/widget_log.h"

namespace vl {

namespace {

// Whether Windows redirects the process's writes and reads of the machine's keys to the
// user's VirtualStore: on for a 32-bit process without a manifest run by a standard user.
// True when the token cannot tell.
bool IsRegistryVirtualized()
{
    return ProcessTokenFlag(TokenVirtualizationEnabled).value_or(1) != 0;
}

} // namespace

DevelopmentModeDecision ReadDevelopmentMode()
{
    return DecideDevelopmentMode(IsRegistryVirtualized(), ReadMachineProductString(kDevelopmentModeValue),
                                 ReadProductString(kDevelopmentModeValue));
}

void LogDevelopmentMode(DevelopmentModeDecision decision)
{
    if (decision == DevelopmentModeDecision::UserValueOnly)
        VL_LOG(L"envver = Develop is set for this user only, the Torvane signature check stays on.\n");
    if (decision == DevelopmentModeDecision::VirtualizedRegistry)
        VL_LOG(L"envver = Develop is not taken: this process's registry is virtualized, the Torvane signature check "
               L"stays on.\n");
}

} // namespace vl
