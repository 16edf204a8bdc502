// A strict, bounded JSON reader (RFC 8259) for the messages a browser sends the service
// host: UTF-8 only, no byte order mark, objects and arrays nested at most kMaxJsonDepth
// deep and holding at most kMaxJsonMembers members or kMaxJsonElements elements, and no
// NUL character in any text, since the page contract's texts cannot carry one. Reading
// takes time in proportion to the text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

#include "service_host/portable/json_value.h"

namespace vl {

// A request is two levels deep; the bound keeps the reader's recursion short.
inline constexpr int kMaxJsonDepth = 16;
// A request has at most three members and a call at most five arguments. The bounds keep
// the comparison of each member name with the names before it short, and stop a hostile
// message at its first surplus value.
inline constexpr std::size_t kMaxJsonMembers = 8;
inline constexpr std::size_t kMaxJsonElements = 8;

struct JsonError {
    std::string reason; // plain ASCII, fit for an error answer
    std::size_t offset; // of the byte where reading stopped
};

// The one value of `text`, with nothing but white space around it.
std::variant<JsonValue, JsonError> ReadJson(std::string_view text);

} // namespace vl
