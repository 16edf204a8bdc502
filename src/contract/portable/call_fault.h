// Why a page's call answered its failure where the result code alone cannot say more: a
// text argument that the kernel's code page cannot carry exactly (refused, nothing
// written), or a message that did not go out whole (the link has ended). The control's
// page hears VLS_FAIL or "Failure"; the service host's page an error naming the cause.
#pragma once

#include <cstddef>

namespace vl {

struct CallFault {
    enum class Kind { TextNotCarried, MessageLost };
    Kind kind = Kind::TextNotCarried;
    // TextNotCarried: the text's position among the method's parameters, from 0.
    std::size_t argument = 0;
};

} // namespace vl
