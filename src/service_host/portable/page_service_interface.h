// What the service host serves one page: the control's methods, called by their entry in
// the contract's method table with arguments of its parameters' types, each answering the
// service core's PageAnswer; and the control's OnResult event. The host makes one service
// per connection, once the page's address has passed the site lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "contract/portable/page_answer.h"
#include "contract/portable/service_methods.h"

namespace vl {

using ServiceArgument = std::variant<std::wstring, std::uint32_t>; // a Text or an Unsigned

struct MethodCall {
    const ServiceMethod* method = nullptr;
    std::vector<ServiceArgument> arguments; // one per parameter, of its type
};

// Where a service raises what the kernel sends on its own.
class IPageServiceEvents {
public:
    virtual void OnResult(std::uint32_t cmd, std::uint32_t serial, const std::wstring& params) = 0;
    // The kernel must be updated through the portal's install page at `address`: where the
    // control opens it in an elevated browser, a page of the service host navigates there.
    virtual void OnInstallPage(const std::wstring& address) = 0;

protected:
    ~IPageServiceEvents() = default;
};

// What the answer that accepts a page tells it (a check page shows them).
struct ServiceVersions {
    std::wstring host;   // the service's own version, as GetVersion answers it
    std::wstring kernel; // the installed kernel's file version; empty when there is none
};

class IPageService {
public:
    virtual ~IPageService() = default;

    // A call whose arguments fit the method's parameters. It may raise OnResult before it
    // returns (a request waits for the kernel's answer while other messages arrive).
    virtual PageAnswer Call(const MethodCall& call) = 0;
    // Read without starting or creating anything, and no call of the page: the kernel's
    // registration run still waits for the page's first call.
    virtual ServiceVersions Versions() = 0;
};

// Makes the service of a page whose address (as the browser names it) passed the site lock;
// the events go to `events`, which outlives the service. Null when the host has none.
using PageServiceFactory =
    std::function<std::unique_ptr<IPageService>(const std::wstring& pageAddress, IPageServiceEvents& events)>;

} // namespace vl
