// One page connection of the service host: reads each message from the extension, keeps
// the page's address and the site lock's verdict, calls the page's service and sends one
// answer per message, and the service's events, back. The site lock judges only the address in the extension's page
// message, which the extension takes from the browser, never one a page passes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "service_host/portable/page_service_interface.h"
#include "service_host/portable/native_message_frame.h"
#include "service_host/portable/service_message.h"

namespace vl {

class ServiceDispatcher final : private IPageServiceEvents {
public:
    // `send` takes one message text for the browser (at most kMaxMessageToBrowser bytes).
    using Send = std::function<void(const std::string& json)>;

    // Pages over https only; in development mode the development deployment's sites are
    // portal pages too, over http as well.
    ServiceDispatcher(PageServiceFactory factory, Send send, bool developmentMode);

    // Answers one message; never throws.
    void Receive(const NativeMessage& message) noexcept;

    // The browser closed the port: a page that initialized and did not uninitialize leaves
    // the kernel as Uninitialize does. Never throws.
    void Close() noexcept;

private:
    enum class PageState { Unknown, Accepted, Refused };

    void OnResult(std::uint32_t cmd, std::uint32_t serial, const std::wstring& params) override;
    void OnInstallPage(const std::wstring& address) override;
    // An event the browser would not take is dropped; the kernel's messages are far smaller.
    void SendEvent(const std::string& event);
    // The answer to a message; `id` is set as soon as the message gives it.
    ServiceAnswer AnswerTo(const NativeMessage& message, std::optional<std::uint64_t>& id);
    ServiceAnswer AnswerTo(const ServiceRequest& request);
    ServiceAnswer AcceptPage(std::uint64_t id, const std::wstring& address);
    ServiceAnswer Call(std::uint64_t id, const MethodCall& call);
    // Every answer leaves here: one the browser would not take becomes an error.
    void SendAnswer(const ServiceAnswer& answer);

    PageServiceFactory m_factory;
    bool m_developmentMode;
    Send m_send;
    PageState m_page = PageState::Unknown;
    std::unique_ptr<IPageService> m_service;
    bool m_initialized = false; // Initialize or Initialize2 called since the last Uninitialize
};

} // namespace vl
