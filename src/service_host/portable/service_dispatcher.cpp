#include "service_host/portable/service_dispatcher.h"

#include <string>
#include <utility>

#include "support/portable/exception_boundary.h"
#include "support/portable/portal_page.h"

namespace vl {

ServiceDispatcher::ServiceDispatcher(PageServiceFactory factory, Send send, bool developmentMode)
    : m_factory(std::move(factory)), m_developmentMode(developmentMode), m_send(std::move(send))
{
}

void ServiceDispatcher::Receive(const NativeMessage& message) noexcept
{
    std::optional<std::uint64_t> id;
    const bool answered = CatchReturn(false, [&] {
        SendAnswer(AnswerTo(message, id));
        return true;
    });
    // Out of memory, or a service that threw: the page hears of it, the host serves on.
    if (!answered) CatchIgnore([&] { SendAnswer(ErrorAnswer(id, "internal error")); });
}

ServiceAnswer ServiceDispatcher::AnswerTo(const NativeMessage& message, std::optional<std::uint64_t>& id)
{
    if (message.oversized) {
        id = LeadingRequestId(message.text);
        return ErrorAnswer(id, "message too large: more than " + std::to_string(kMaxMessageFromBrowser) + " bytes");
    }
    auto parsed = ParseServiceRequest(message.text);
    if (RequestFault* fault = std::get_if<RequestFault>(&parsed)) return ErrorAnswer(fault->id, std::move(fault->reason));
    const ServiceRequest& request = std::get<ServiceRequest>(parsed);
    id = request.id;
    return AnswerTo(request);
}

ServiceAnswer ServiceDispatcher::AnswerTo(const ServiceRequest& request)
{
    if (const PageMessage* page = std::get_if<PageMessage>(&request.body)) return AcceptPage(request.id, page->address);
    switch (m_page) {
    case PageState::Unknown:
        return ErrorAnswer(request.id, "no page address yet");
    case PageState::Refused:
        return ErrorAnswer(request.id, "not a portal page");
    case PageState::Accepted:
        break;
    }
    return Call(request.id, std::get<MethodCall>(request.body));
}

ServiceAnswer ServiceDispatcher::AcceptPage(std::uint64_t id, const std::wstring& address)
{
    if (m_page != PageState::Unknown) return ErrorAnswer(id, "the page address is given already");
    const std::optional<PortalPage> page = ParsePortalPage(address, m_developmentMode);
    if (!page || !IsBridgeScheme(page->address.scheme, page->developmentSite, m_developmentMode)) {
        m_page = PageState::Refused;
        return ErrorAnswer(id, page ? "not a portal page: not served over HTTPS" : "not a portal page");
    }
    m_page = PageState::Accepted;
    if (m_factory) m_service = m_factory(address, *this);
    if (!m_service) return {id, PageResult{}};
    return {id, m_service->Versions()};
}

ServiceAnswer ServiceDispatcher::Call(std::uint64_t id, const MethodCall& call)
{
    if (!m_service) return ErrorAnswer(id, "the vorlink! service is not available");
    if (call.method->name.starts_with("Initialize")) m_initialized = true;
    if (call.method->name == "Uninitialize") m_initialized = false;
    PageAnswer answer = m_service->Call(call);
    if (answer.fault) return ErrorAnswer(id, FaultReason(*call.method, *answer.fault));
    return {id, std::move(answer.result)};
}

void ServiceDispatcher::SendAnswer(const ServiceAnswer& answer)
{
    std::string json = FormatAnswer(answer);
    if (json.size() > kMaxMessageToBrowser) json = FormatAnswer(ErrorAnswer(answer.id, "answer too large"));
    m_send(json);
}

void ServiceDispatcher::OnResult(std::uint32_t cmd, std::uint32_t serial, const std::wstring& params)
{
    // Out of memory: the event is lost, the service's request goes on.
    CatchIgnore([&] { SendEvent(FormatResultEvent(cmd, serial, params)); });
}

void ServiceDispatcher::OnInstallPage(const std::wstring& address)
{
    CatchIgnore([&] { SendEvent(FormatInstallPageEvent(address)); });
}

void ServiceDispatcher::SendEvent(const std::string& event)
{
    if (event.size() <= kMaxMessageToBrowser) m_send(event);
}

void ServiceDispatcher::Close() noexcept
{
    // The port is gone: nobody is left to tell.
    CatchIgnore([&] {
        const ServiceMethod* uninitialize = FindServiceMethod(L"Uninitialize");
        if (m_service && m_initialized && uninitialize) m_service->Call(MethodCall{uninitialize, {}});
    });
    m_service.reset();
}

} // namespace vl
