// The messages between the extension and the service host, one JSON object each:
//
//   {"id": n, "page": "<address>"}                   the page's address, as the browser
//                                                    names the sender; first, and once
//   {"id": n, "method": "SaveData", "args": [...]}   a call of a control method
//   {"id": n, "result": ...}  {"id": n, "error": "..."}   the answer to either; a page
//                                    accepted with a service gets {"host": "<version>",
//                                    "kernel": "<installed kernel's version or empty>"}
//   {"event": "OnResult", "cmd": n, "serial": n, "params": "..."}   the control's event
//   {"event": "InstallPage", "address": "..."}   the kernel must be updated through the
//                                    portal's install page, which the page opens (before
//                                    the answer VLS_HAVE_TO_UPDATE to its Initialize call)
//
// An id is a whole number from 0 to 2^53 - 1 (exact in page script). A message that is no
// JSON is still answered under its id when it begins with it as the extension writes it;
// an answer to a message whose id cannot be read carries "id": null. "args" may be left out for a method
// without parameters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "contract/portable/call_fault.h"
#include "contract/portable/page_answer.h"
#include "contract/portable/service_methods.h"
#include "service_host/portable/page_service_interface.h"

namespace vl {

inline constexpr std::uint64_t kMaxRequestId = (std::uint64_t{1} << 53) - 1;

struct PageMessage {
    std::wstring address;
};

struct ServiceRequest {
    std::uint64_t id = 0;
    std::variant<PageMessage, MethodCall> body;
};

struct RequestFault {
    std::optional<std::uint64_t> id;
    std::string reason;
};

// The answers to a call that does not fit the contract: "<Method> takes <n> arguments" and
// "argument <i> of <Method> (<name>) must be ..." (i counts from 1). The page APIs give
// the same texts (tools/webgen).
std::string ArgumentCountFault(const ServiceMethod& method);
std::string ArgumentTypeFault(const ServiceMethod& method, std::size_t index);

// A request whose members, method name, argument count and argument types all fit the
// page contract, or the fault to answer.
std::variant<ServiceRequest, RequestFault> ParseServiceRequest(std::string_view json);

// The id of a message that cannot be read whole (no JSON, or too long to hold), when its
// first bytes give it as the extension writes it: {"id":n,...}.
std::optional<std::uint64_t> LeadingRequestId(std::string_view prefix);

// The one answer to a message: a call's result, the versions of an accepted page, or an
// error whose reason the page hears.
struct ServiceError {
    std::string reason;
};
struct ServiceAnswer {
    std::optional<std::uint64_t> id; // none when the message's id cannot be read: "id": null
    std::variant<PageResult, ServiceVersions, ServiceError> body;
};

inline ServiceAnswer ErrorAnswer(std::optional<std::uint64_t> id, std::string reason)
{
    return {id, ServiceError{std::move(reason)}};
}

std::string FormatAnswer(const ServiceAnswer& answer);
// The error a call of `method` answers for its fault: the argument the kernel's code page
// cannot carry, or the message lost with the link.
std::string FaultReason(const ServiceMethod& method, const CallFault& fault);
std::string FormatResultEvent(std::uint32_t cmd, std::uint32_t serial, std::wstring_view params);
std::string FormatInstallPageEvent(std::wstring_view address);

} // namespace vl
