// A strict, bounded JSON reader (RFC 8259) for the messages a browser sends the service
// host: UTF-8 only, no byte order mark, objects and arrays nested at most kMaxJsonDepth
// deep, and no NUL character in any text, since the page contract's texts cannot carry one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

#include "service_host/portable/json_value.h"

namespace vl {

// A request is two levels deep; the bound keeps the reader's recursion short.
inline constexpr int kMaxJsonDepth = 16;

struct JsonError {
    std::string reason; // plain ASCII, fit for an error answer
    std::size_t offset; // of the byte where reading stopped
};

// The one value of `text`, with nothing but white space around it.
std::variant<JsonValue, JsonError> ReadJson(std::string_view text);

} // namespace vl
