// The service of one page connection in the service host: the service core, as the
// control runs it, with a timer window of its own, serving the page whose address passed the
// site lock. Error boxes are not shown (nobody looks at the host); the install page is the
// page's to open, told through OnInstallPage.
#pragma once

#include <memory>
#include <string>

#include "adapter/service_core.h"
#include "service_host/portable/adapter_service.h"
#include "support/timer_window.h"
#include "support/patch_http.h"

namespace vl {

class PageService final : public IAdapterService, private IServiceContainer, private IServiceEvents {
public:
    // An AdapterServiceFactory; null when the pump window cannot be made.
    static std::unique_ptr<IAdapterService> Create(const std::wstring& pageAddress, IAdapterServiceEvents& events);
    PageService(std::wstring pageAddress, IAdapterServiceEvents& events, std::unique_ptr<TimerWindow> pump);

    ServiceAnswer<std::uint32_t> Initialize(const std::wstring& szRegionVer, const std::wstring& szNewerVersion,
                                            const std::wstring& szChksum, std::uint32_t dwTimeout) override;
    ServiceAnswer<std::uint32_t> Initialize2(const std::wstring& szRegionVersion, const std::wstring& szNewerVersion,
                                             const std::wstring& szChksum, std::uint32_t dwTimeout,
                                             const std::wstring& szClientSite) override;
    ServiceAnswer<std::uint32_t> SaveData(const std::wstring& szKey, const std::wstring& szValue) override;
    ServiceAnswer<std::wstring> LoadData(const std::wstring& szKey) override;
    ServiceAnswer<std::uint32_t> SendCommand(std::uint32_t dwCmd, std::uint32_t dwSerialNum,
                                             const std::wstring& szParams) override;
    ServiceAnswer<std::uint32_t> ClearData(const std::wstring& szKey) override;
    std::uint32_t GetActivexObjID() override;
    ServiceAnswer<std::uint32_t> CheckRegionInfo() override;
    void Uninitialize() override;
    void SetUpdatorVersion(const std::wstring& szVersion) override;
    std::wstring GetVersion() override;
    ServiceVersions Versions() override;

private:
    // Every call of the page is allowed (the dispatcher let the page through); the first
    // runs the kernel's registration, as the control's first allowed call does. The core's
    // fault, when the call has one, takes the result's place.
    template <typename Call>
    ServiceAnswer<std::uint32_t> Result(Call&& call);

    // IServiceContainer
    std::wstring PageAddress() override { return m_pageAddress; }
    FormTimer& PumpTimer() override { return m_pump->Timer(); }
    PatchHttp& UpdaterHttp() override { return m_http; }
    bool ShowsErrorBoxes() override { return false; }
    void OpenInstallPage(const std::wstring& address, const std::wstring&) override { m_events.OnInstallPage(address); }
    // The dispatcher keeps the service for the whole connection.
    void Hold() override {}
    void Unhold() override {}

    // IServiceEvents
    void OnResult(ULONG cmd, ULONG serial, const std::wstring& params) override { m_events.OnResult(cmd, serial, params); }

    std::wstring m_pageAddress;
    IAdapterServiceEvents& m_events;
    std::unique_ptr<TimerWindow> m_pump;
    PatchHttp m_http;
    // Last: made after what it uses, and gone before it.
    ServiceCore m_core{*this, *this};
};

} // namespace vl
