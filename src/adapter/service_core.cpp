#include "adapter/service_core.h"

#include <utility>

#include "kernel_link/kernel_launcher.h"
#include "kernel_link/portable/kernel_commands.h"
#include "support/development_mode.h"
#include "support/diagnostic_log.h"
#include "support/portable/exception_boundary.h"
#include "support/product_registry.h"
#include "support/widget_log.h"

// Written by the build from its one version value.
#include "module_version.h"

namespace vl {

namespace {
constexpr const wchar_t* kComponentName = L"vorlink! ActiveX";
} // namespace

std::unique_ptr<ServiceCore> ServiceCore::Create(IServiceContainer& container, IServiceEvents& events)
{
    auto pump = TimerWindow::Create();
    if (!pump) return nullptr;
    return std::unique_ptr<ServiceCore>(new ServiceCore(container, events, std::move(pump)));
}

ServiceCore::ServiceCore(IServiceContainer& container, IServiceEvents& events, std::unique_ptr<TimerWindow> pump)
    : m_container(container), m_events(events), m_utility(kComponentName), m_pump(std::move(pump))
{
    m_pump->Timer().OnTimer = [this] { OnPumpTick(); };
    m_utility.SetErrorBoxesShown(container.ShowsErrorBoxes());
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    m_legacyOS = !(::GetVersionExA(&version) && version.dwMajorVersion == 6);
    // Only read here: the site lock needs it before any call is let through.
    m_developmentMode = ReadDevelopmentMode();
    m_verifyPublisher = m_developmentMode != DevelopmentModeDecision::On;
}

ServiceCore::~ServiceCore() = default;

const wchar_t* ServiceCore::Version()
{
    // Built in, not read from the version resource at run time: both come from the build's
    // one version value.
    return VL_MODULE_VERSION_WTEXT;
}

void ServiceCore::CreateHomeFolders()
{
    const std::wstring home = m_utility.GetHomeFolder();
    // Without a documents folder there is no home: nothing to create.
    if (home.empty()) return;
    ::CreateDirectoryW(home.c_str(), nullptr);
    ::CreateDirectoryW((home + L"\\Log").c_str(), nullptr);
}

void ServiceCore::OnCallAllowed() noexcept
{
    CatchIgnore([&] {
        if (!std::exchange(m_firstCallPending, false)) return;
        // Nothing of this for a page the site lock refuses: no folder, key, log or program.
        CreateHomeFolders();
        // After the Log folder exists: the user may have switched the diagnostic log on.
        ApplyStepLogSwitch(m_utility.GetHomeFolder());
        CreateProductKey();
        LogDevelopmentMode(m_developmentMode);
        RegisterKernelServer(m_utility, m_verifyPublisher);
    });
}

HWND ServiceCore::FindKernelWindow()
{
    return vl::FindKernelWindow(m_utility);
}

bool ServiceCore::StartWidgetKernel()
{
    m_kernelWindow = vl::StartWidgetKernel(m_utility, {m_regionValue, m_legacyOS, m_verifyPublisher});
    return m_kernelWindow != nullptr;
}

void ServiceCore::ShutdownWidgetKernel()
{
    m_link.SetPumpEnabled(false);
    m_link.Send(kernel_command::kLeaveNotice, 0, L"");
    WaitForKernelToLeave(m_utility);
    m_kernelWindow = FindKernelWindow();
    ClosePipes();
}

} // namespace vl
