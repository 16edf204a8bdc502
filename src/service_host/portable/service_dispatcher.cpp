#include "service_host/portable/service_dispatcher.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "support/portable/exception_boundary.h"
#include "support/portable/portal_page.h"

namespace vl {
namespace {

using Arguments = std::vector<ServiceArgument>;
// A result for the page, or the fault it hears as an error.
using Outcome = std::variant<ServiceResult, CallFault>;
using Invoke = Outcome (*)(IAdapterService&, const Arguments&);

const std::wstring& Text(const Arguments& arguments, std::size_t i)
{
    return std::get<std::wstring>(arguments[i]);
}

std::uint32_t Number(const Arguments& arguments, std::size_t i)
{
    return std::get<std::uint32_t>(arguments[i]);
}

template <typename Result>
Outcome Of(ServiceAnswer<Result> answer)
{
    if (const CallFault* fault = std::get_if<CallFault>(&answer)) return *fault;
    return ServiceResult{std::get<Result>(std::move(answer))};
}

// Each method of the contract, with its arguments in the contract's order. The arguments
// have been checked against the contract's parameter types.
struct Invoker {
    std::string_view method;
    Invoke invoke;
};
const Invoker kInvokers[] = {
    {"Initialize", [](IAdapterService& s, const Arguments& a) {
         return Of(s.Initialize(Text(a, 0), Text(a, 1), Text(a, 2), Number(a, 3)));
     }},
    {"Initialize2", [](IAdapterService& s, const Arguments& a) {
         return Of(s.Initialize2(Text(a, 0), Text(a, 1), Text(a, 2), Number(a, 3), Text(a, 4)));
     }},
    {"SaveData", [](IAdapterService& s, const Arguments& a) { return Of(s.SaveData(Text(a, 0), Text(a, 1))); }},
    {"LoadData", [](IAdapterService& s, const Arguments& a) { return Of(s.LoadData(Text(a, 0))); }},
    {"SendCommand", [](IAdapterService& s, const Arguments& a) {
         return Of(s.SendCommand(Number(a, 0), Number(a, 1), Text(a, 2)));
     }},
    {"ClearData", [](IAdapterService& s, const Arguments& a) { return Of(s.ClearData(Text(a, 0))); }},
    {"GetActivexObjID", [](IAdapterService& s, const Arguments&) -> Outcome { return ServiceResult{s.GetActivexObjID()}; }},
    {"CheckRegionInfo", [](IAdapterService& s, const Arguments&) { return Of(s.CheckRegionInfo()); }},
    {"Uninitialize", [](IAdapterService& s, const Arguments&) -> Outcome {
         s.Uninitialize();
         return ServiceResult{};
     }},
    {"SetUpdatorVersion", [](IAdapterService& s, const Arguments& a) -> Outcome {
         s.SetUpdatorVersion(Text(a, 0));
         return ServiceResult{};
     }},
    {"GetVersion", [](IAdapterService& s, const Arguments&) -> Outcome { return ServiceResult{s.GetVersion()}; }},
};

const Invoker* FindInvoker(std::string_view method)
{
    const auto found = std::ranges::find(kInvokers, method, &Invoker::method);
    return found == std::end(kInvokers) ? nullptr : found;
}

} // namespace

ServiceDispatcher::ServiceDispatcher(AdapterServiceFactory factory, Send send, bool developmentMode)
    : m_factory(std::move(factory)), m_developmentMode(developmentMode), m_send(std::move(send))
{
}

void ServiceDispatcher::Receive(const NativeMessage& message) noexcept
{
    std::optional<std::uint64_t> id;
    const bool answered = CatchReturn(false, [&] {
        if (message.oversized) {
            id = LeadingRequestId(message.text);
            SendBounded(FormatErrorAnswer(id, "message too large: more than " + std::to_string(kMaxMessageFromBrowser) +
                                                  " bytes"),
                        id);
            return true;
        }
        auto parsed = ParseServiceRequest(message.text);
        if (const RequestFault* fault = std::get_if<RequestFault>(&parsed)) {
            SendBounded(FormatErrorAnswer(fault->id, fault->reason), fault->id);
            return true;
        }
        const ServiceRequest& request = std::get<ServiceRequest>(parsed);
        id = request.id;
        Answer(request);
        return true;
    });
    // Out of memory, or a service that threw: the page hears of it, the host serves on.
    if (!answered) CatchIgnore([&] { SendBounded(FormatErrorAnswer(id, "internal error"), id); });
}

void ServiceDispatcher::Answer(const ServiceRequest& request)
{
    if (const PageMessage* page = std::get_if<PageMessage>(&request.body)) {
        AcceptPage(request.id, page->address);
        return;
    }
    switch (m_page) {
    case PageState::Unknown:
        SendBounded(FormatErrorAnswer(request.id, "no page address yet"), request.id);
        return;
    case PageState::Refused:
        SendBounded(FormatErrorAnswer(request.id, "not a portal page"), request.id);
        return;
    case PageState::Accepted:
        Call(request.id, std::get<MethodCall>(request.body));
        return;
    }
}

void ServiceDispatcher::AcceptPage(std::uint64_t id, const std::wstring& address)
{
    if (m_page != PageState::Unknown) {
        SendBounded(FormatErrorAnswer(id, "the page address is given already"), id);
        return;
    }
    const std::optional<PortalPage> page = ParsePortalPage(address, m_developmentMode);
    if (!page || !IsBridgeScheme(page->address.scheme, page->developmentSite, m_developmentMode)) {
        m_page = PageState::Refused;
        SendBounded(FormatErrorAnswer(id, page ? "not a portal page: not served over HTTPS" : "not a portal page"), id);
        return;
    }
    m_page = PageState::Accepted;
    if (m_factory) m_service = m_factory(address, *this);
    SendBounded(m_service ? FormatPageAccepted(id, m_service->Versions()) : FormatResultAnswer(id, {}), id);
}

void ServiceDispatcher::Call(std::uint64_t id, const MethodCall& call)
{
    const Invoker* invoker = FindInvoker(call.method->name);
    if (!m_service || !invoker) {
        SendBounded(FormatErrorAnswer(id, "the vorlink! service is not available"), id);
        return;
    }
    if (call.method->name.starts_with("Initialize")) m_initialized = true;
    if (call.method->name == "Uninitialize") m_initialized = false;
    const Outcome outcome = invoker->invoke(*m_service, call.arguments);
    if (const CallFault* fault = std::get_if<CallFault>(&outcome))
        SendBounded(FormatErrorAnswer(id, FaultReason(*call.method, *fault)), id);
    else
        SendBounded(FormatResultAnswer(id, std::get<ServiceResult>(outcome)), id);
}

void ServiceDispatcher::OnResult(std::uint32_t dwCmd, std::uint32_t dwSerialNum, const std::wstring& szParams)
{
    // Out of memory: the event is lost, the service's request goes on.
    CatchIgnore([&] { SendEvent(FormatResultEvent(dwCmd, dwSerialNum, szParams)); });
}

void ServiceDispatcher::OnInstallPage(const std::wstring& address)
{
    CatchIgnore([&] { SendEvent(FormatInstallPageEvent(address)); });
}

void ServiceDispatcher::SendEvent(const std::string& event)
{
    if (event.size() <= kMaxMessageToBrowser) m_send(event);
}

void ServiceDispatcher::SendBounded(std::string json, std::optional<std::uint64_t> id)
{
    if (json.size() > kMaxMessageToBrowser) json = FormatErrorAnswer(id, "answer too large");
    m_send(json);
}

void ServiceDispatcher::Close() noexcept
{
    // The port is gone: nobody is left to tell.
    CatchIgnore([&] {
        if (m_service && m_initialized) m_service->Uninitialize();
    });
    m_service.reset();
}

} // namespace vl
