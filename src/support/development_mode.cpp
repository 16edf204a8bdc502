#include "support/development_mode.h"

#include "support/product_registry.h"
#include "support/widget_log.h"

namespace vl {

namespace {
constexpr wchar_t kDevelopmentValue[] = L"envver";
constexpr wchar_t kDevelopment[] = L"Develop";
} // namespace

bool IsDevelopmentMode()
{
    if (ReadProductString(kDevelopmentValue) != kDevelopment) return false;
    if (ReadMachineProductString(kDevelopmentValue) == kDevelopment) return true;
    VL_LOG(L"envver = Develop is set for this user only, the Torvane signature check stays on.\n");
    return false;
}

} // namespace vl
