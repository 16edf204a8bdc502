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

namespace vl {

class PageService final : public IPageService, private IServiceContainer, private IServiceEvents {
public:
    // A PageServiceFactory; null when the core's pump window cannot be made.
    static std::unique_ptr<IPageService> Create(const std::wstring& pageAddress, IPageServiceEvents& events);

    // Every call of the page is allowed (the dispatcher let the page through); the first
    // runs the kernel's registration, as the control's first allowed call does.
    PageAnswer Call(const MethodCall& call) override;
    ServiceVersions Versions() override;

private:
    PageService(std::wstring pageAddress, IPageServiceEvents& events);

    // IServiceContainer
    std::wstring PageAddress() override { return m_pageAddress; }
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
    PatchHttp m_http;
    // Last: made after what it uses, and gone before it.
    std::unique_ptr<ServiceCore> m_core = ServiceCore::Create(*this, *this);
};

} // namespace vl
