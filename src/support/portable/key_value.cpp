#include "support/portable/key_value.h"

namespace vl {

std::wstring_view FindKeyValue(std::wstring_view text, std::wstring_view key)
{
    constexpr std::wstring_view kSeparator = L"&&&&";
    if (!key.empty() && key.back() == L'=') key.remove_suffix(1);
    // The first occurrence of key and "=".
    std::size_t at = text.find(key);
    while (at != std::wstring_view::npos && (at + key.size() >= text.size() || text[at + key.size()] != L'='))
        at = text.find(key, at + 1);
    if (at == std::wstring_view::npos) return {};
    std::wstring_view rest = text.substr(at + key.size() + 1);
    return rest.substr(0, rest.find(kSeparator));
}

std::wstring GetKeyValue(std::wstring_view text, std::wstring_view key)
{
    return std::wstring(FindKeyValue(text, key));
}

} // namespace vl
