#include "support/portable/key_value.h"

namespace vl {

std::wstring GetKeyValue(std::wstring_view text, std::wstring_view key)
{
    constexpr std::wstring_view kSeparator = L"&&&&";
    std::wstring field(key);
    if (field.empty() || field.back() != L'=') field.push_back(L'=');
    const auto at = text.find(field);
    if (at == std::wstring_view::npos) return {};
    std::wstring_view rest = text.substr(at + field.size());
    const auto end = rest.find(kSeparator);
    if (end != std::wstring_view::npos) rest = rest.substr(0, end);
    return std::wstring(rest);
}

} // namespace vl
