#include "service_host/page_service.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace vl {
namespace {

using Arguments = std::vector<ServiceArgument>;

const std::wstring& Text(const Arguments& arguments, std::size_t i)
{
    return std::get<std::wstring>(arguments[i]);
}

std::uint32_t Number(const Arguments& arguments, std::size_t i)
{
    return std::get<std::uint32_t>(arguments[i]);
}

// Each method of the contract on the service core, with its arguments in the contract's
// order. The arguments have been checked against the contract's parameter types.
struct CoreCall {
    std::string_view method;
    PageAnswer (*call)(ServiceCore&, const Arguments&);
};
const CoreCall kCoreCalls[] = {
    {"Initialize", [](ServiceCore& core, const Arguments& a) { return core.Initialize(Text(a, 0), Text(a, 1)); }},
    {"Initialize2", [](ServiceCore& core, const Arguments& a) {
         return core.Initialize2(Text(a, 0), Text(a, 1), Text(a, 2), Number(a, 3), Text(a, 4));
     }},
    {"SaveData", [](ServiceCore& core, const Arguments& a) { return core.SaveData(Text(a, 0), Text(a, 1)); }},
    {"LoadData", [](ServiceCore& core, const Arguments& a) { return core.LoadData(Text(a, 0)); }},
    {"SendCommand", [](ServiceCore& core, const Arguments& a) {
         return core.SendCommand(Number(a, 0), Number(a, 1), Text(a, 2));
     }},
    {"ClearData", [](ServiceCore& core, const Arguments& a) { return core.ClearData(Text(a, 0)); }},
    {"GetActivexObjID", [](ServiceCore& core, const Arguments&) { return NumberAnswer(core.ObjectId()); }},
    {"CheckRegionInfo", [](ServiceCore& core, const Arguments&) { return core.CheckRegionInfo(); }},
    {"Uninitialize", [](ServiceCore& core, const Arguments&) {
         core.Uninitialize();
         return PageAnswer{};
     }},
    {"SetUpdatorVersion", [](ServiceCore& core, const Arguments& a) {
         core.SetUpdatorVersion(Text(a, 0));
         return PageAnswer{};
     }},
    {"GetVersion", [](ServiceCore&, const Arguments&) { return TextAnswer(ServiceCore::Version()); }},
};

} // namespace

std::unique_ptr<IPageService> PageService::Create(const std::wstring& pageAddress, IPageServiceEvents& events)
{
    std::unique_ptr<PageService> service(new PageService(pageAddress, events));
    if (!service->m_core) return nullptr;
    return service;
}

PageService::PageService(std::wstring pageAddress, IPageServiceEvents& events)
    : m_pageAddress(std::move(pageAddress)), m_events(events)
{
}

PageAnswer PageService::Call(const MethodCall& call)
{
    const auto found = std::ranges::find(kCoreCalls, call.method->name, &CoreCall::method);
    // Every method of the contract has its call: the page hears an internal error otherwise.
    if (found == std::end(kCoreCalls)) throw std::logic_error("a contract method without a call");
    m_core->OnCallAllowed();
    return found->call(*m_core, call.arguments);
}

ServiceVersions PageService::Versions()
{
    return {ServiceCore::Version(), m_core->InstalledKernelVersion()};
}

} // namespace vl
