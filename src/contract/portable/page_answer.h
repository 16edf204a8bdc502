// What a page's call of the service core answers, in one value that the control and the
// service host each give their own form: the result the page gets, whether the call
// failed (the control then returns S_FALSE beside the result), and the fault that the
// service host's page hears as an error in the result's place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "contract/portable/call_fault.h"

namespace vl {

// A number (a VLSRESULT code, the object's id), a text, or nothing, as the method's
// result type in the contract says.
using PageResult = std::variant<std::monostate, std::uint32_t, std::wstring>;

struct PageAnswer {
    PageResult result;
    // The kernel did not answer, or the arguments, the kernel's start or the link failed;
    // the result says VLS_FAIL or "Failure" then.
    bool failed = false;
    std::optional<CallFault> fault = std::nullopt;
};

inline PageAnswer NumberAnswer(std::uint32_t number, bool failed = false, std::optional<CallFault> fault = std::nullopt)
{
    return {number, failed, fault};
}

inline PageAnswer TextAnswer(std::wstring text, bool failed = false, std::optional<CallFault> fault = std::nullopt)
{
    return {std::move(text), failed, fault};
}

} // namespace vl
