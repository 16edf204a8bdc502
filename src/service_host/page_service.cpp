#include "service_host/page_service.h"

#include <utility>

namespace vl {

std::unique_ptr<IAdapterService> PageService::Create(const std::wstring& pageAddress, IAdapterServiceEvents& events)
{
    auto pump = TimerWindow::Create();
    if (!pump) return nullptr;
    return std::make_unique<PageService>(pageAddress, events, std::move(pump));
}

PageService::PageService(std::wstring pageAddress, IAdapterServiceEvents& events, std::unique_ptr<TimerWindow> pump)
    : m_pageAddress(std::move(pageAddress)), m_events(events), m_pump(std::move(pump))
{
    m_pump->Timer().OnTimer = [this] { m_core.OnPumpTick(); };
}

template <typename Call>
ServiceAnswer<std::uint32_t> PageService::Result(Call&& call)
{
    m_core.OnCallAllowed();
    ULONG result = 0;
    call(result);
    if (const auto fault = m_core.TakeCallFault()) return *fault;
    return result;
}

ServiceAnswer<std::uint32_t> PageService::Initialize(const std::wstring& szRegionVer, const std::wstring& szNewerVersion,
                                      const std::wstring&, std::uint32_t)
{
    return Result([&](ULONG& result) { m_core.Initialize(szRegionVer, szNewerVersion, result); });
}

ServiceAnswer<std::uint32_t> PageService::Initialize2(const std::wstring& szRegionVersion, const std::wstring& szNewerVersion,
                                       const std::wstring& szChksum, std::uint32_t dwTimeout,
                                       const std::wstring& szClientSite)
{
    return Result([&](ULONG& result) {
        m_core.Initialize2(szRegionVersion, szNewerVersion, szChksum, dwTimeout, szClientSite, result);
    });
}

ServiceAnswer<std::uint32_t> PageService::SaveData(const std::wstring& szKey, const std::wstring& szValue)
{
    return Result([&](ULONG& result) { m_core.SaveData(szKey, szValue, result); });
}

ServiceAnswer<std::wstring> PageService::LoadData(const std::wstring& szKey)
{
    m_core.OnCallAllowed();
    std::wstring value;
    m_core.LoadData(szKey, value);
    if (const auto fault = m_core.TakeCallFault()) return *fault;
    return value;
}

ServiceAnswer<std::uint32_t> PageService::SendCommand(std::uint32_t dwCmd, std::uint32_t dwSerialNum, const std::wstring& szParams)
{
    return Result([&](ULONG& result) { m_core.SendCommand(dwCmd, dwSerialNum, szParams, result); });
}

ServiceAnswer<std::uint32_t> PageService::ClearData(const std::wstring& szKey)
{
    return Result([&](ULONG& result) { m_core.ClearData(szKey, result); });
}

std::uint32_t PageService::GetActivexObjID()
{
    m_core.OnCallAllowed();
    return m_core.ObjectId();
}

ServiceAnswer<std::uint32_t> PageService::CheckRegionInfo()
{
    return Result([&](ULONG& result) { m_core.CheckRegionInfo(result); });
}

void PageService::Uninitialize()
{
    m_core.OnCallAllowed();
    m_core.Uninitialize();
}

void PageService::SetUpdatorVersion(const std::wstring& szVersion)
{
    m_core.OnCallAllowed();
    m_core.SetUpdatorVersion(szVersion);
}

std::wstring PageService::GetVersion()
{
    m_core.OnCallAllowed();
    return ServiceCore::Version();
}

ServiceVersions PageService::Versions()
{
    return {ServiceCore::Version(), m_core.InstalledKernelVersion()};
}

} // namespace vl
