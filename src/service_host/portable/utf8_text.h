// UTF-8, strictly: the encoding of every native message. Texts inside are UTF-16 code
// units, one per wchar_t.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "support/portable/surrogates.h"

namespace vl {

// The code point that starts at `text[pos]`, advancing `pos` past it; nothing for a byte
// sequence that is no shortest form of a scalar value (overlong forms, surrogates, values
// above U+10FFFF, stray or missing continuation bytes), and `pos` then stays.
std::optional<char32_t> NextUtf8CodePoint(std::string_view text, std::size_t& pos);

void AppendUtf8(std::string& out, char32_t codePoint);

// One code unit below U+10000, a surrogate pair above.
void AppendUtf16(std::wstring& out, char32_t codePoint);

} // namespace vl
