// The page's result codes, the contract's VLSRESULT: what the page methods with a number
// result answer, the same through the control and the service host.
#pragma once

#include <cstdint>

#include "contract/portable/VLServiceAdapter_contract.inc"

#define VL_RESULT_UNPAREN(...) __VA_ARGS__
#define VL_CONST(name, value) name = value
#define VL_ENUM(Name, guid, constantHelp, constants) enum Name : std::int32_t { VL_RESULT_UNPAREN constants };
VL_RESULT_ENUM
#undef VL_ENUM
#undef VL_CONST
#undef VL_RESULT_UNPAREN
