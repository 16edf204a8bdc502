// The service of one page connection in the service host: the service core, as the
// control runs it, serving the page whose address passed the site lock. Error boxes are
// not shown (nobody looks at the host); the install page is the page's to open, told
// through OnInstallPage.
#pragma once

#include <memory>
#include <string>

#include "adapter/service_core.h"
#include "service_host/portable/page_service_interface.h"
#include "support/patch_http.h"
#include "support/timer_window.h"

namespace vl {

class PageService final : public IPageService, private IServiceContainer, private IServiceEvents {
public:
    // A PageServiceFactory; null when the pump window cannot be made.
    static std::unique_ptr<IPageService> Create(const std::wstring& pageAddress, IPageServiceEvents& events);
    PageService(std::wstring pageAddress, IPageServiceEvents& events, std::unique_ptr<TimerWindow> pump);

    // Every call of the page is allowed (the dispatcher let the page through); the first
    // runs the kernel's registration, as the control's first allowed call does.
    PageAnswer Call(const MethodCall& call) override;
    ServiceVersions Versions() override;

private:
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
    IPageServiceEvents& m_events;
    std::unique_ptr<TimerWindow> m_pump;
    PatchHttp m_http;
    // Last: made after what it uses, and gone before it.
    ServiceCore m_core{*this, *this};
};

} // namespace vl
