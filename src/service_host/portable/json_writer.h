// Writes JSON as the service host sends it: compact UTF-8. A text's unpaired surrogates,
// which UTF-8 cannot carry, are written as \u escapes, so page script reads back the very
// code units it was given.
#pragma once

#include <string>

#include "service_host/portable/json_value.h"

namespace vl {

std::string WriteJson(const JsonValue& value);

} // namespace vl
