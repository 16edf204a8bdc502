// The answers of an exception boundary that need no platform types: the code below the COM
// server and the platform-neutral code use them directly; com_server/exception_boundary.h
// names every boundary's answer.
#pragma once

namespace vl {

// What the body returns, or `answer` when it throws.
template <typename T, typename Body>
T CatchReturn(T answer, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return answer;
    }
}

// Runs the body; a throw ends it and nobody is told.
template <typename Body>
void CatchIgnore(Body&& body) noexcept
{
    try {
        body();
    } catch (...) {
    }
}

} // namespace vl
