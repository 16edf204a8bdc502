#include "service_host/portable/browser_caller.h"

#include <algorithm>

namespace vl {

bool IsAllowedCaller(std::span<const wchar_t* const> arguments, const AllowedExtension& allowed) noexcept
{
    if (arguments.empty()) return false;
    // Whole texts only: an origin is compared with its closing slash, so that no longer ID
    // passes as a prefix.
    if (std::ranges::find(allowed.chromiumOrigins, std::wstring_view(arguments[0])) != allowed.chromiumOrigins.end())
        return true;
    return arguments.size() >= 2 && std::wstring_view(arguments[1]) == allowed.geckoId;
}

} // namespace vl
