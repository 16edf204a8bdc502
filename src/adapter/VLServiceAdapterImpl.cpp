#include "adapter/VLServiceAdapterImpl.h"

#include <utility>

#include "com_server/event_proxy.h"
#include "kernel_link/kernel_launcher.h"
#include "kernel_link/portable/kernel_commands.h"
#include "support/development_mode.h"
#include "support/diagnostic_log.h"
#include "support/product_registry.h"
#include "support/widget_log.h"

// Written by the build from its one version value.
#include "module_version.h"

namespace {
constexpr const wchar_t* kComponentName = L"vorlink! ActiveX";
// Built in, not read from the version resource at run time: both come from the build's
// one version value.
constexpr const wchar_t* kControlVersion = VL_MODULE_VERSION_WTEXT;
} // namespace

TVLServiceAdapterXImpl::TVLServiceAdapterXImpl() = default;

TVLServiceAdapterXImpl::~TVLServiceAdapterXImpl()
{
    // Nothing is sent: telling the kernel to close is Uninitialize's. The pipes close with
    // their owners.
    SetReadPipeTimer(false);
}

HRESULT TVLServiceAdapterXImpl::InitializeControl()
{
    vl::RelayFormEvents(Form(), *this);
    m_pForm = &Form();
    m_pForm->m_pAdapter = this;
    m_pUtility = std::make_unique<vl::CVLWidgetUtility>(kComponentName);
    CreateHomeFolders();
    // After the Log folder exists: the user may have switched the diagnostic log on.
    vl::ApplyStepLogSwitch(m_pUtility->GetHomeFolder());

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    m_bLegacyOS = !(::GetVersionExA(&version) && version.dwMajorVersion == 6);
    vl::CreateProductKey();
    m_bVerifyPublisher = !vl::IsDevelopmentMode();
    return S_OK;
}

void TVLServiceAdapterXImpl::CreateHomeFolders()
{
    const std::wstring home = m_pUtility->GetHomeFolder();
    // Without a documents folder there is no home: nothing to create.
    if (home.empty()) return;
    ::CreateDirectoryW(home.c_str(), nullptr);
    ::CreateDirectoryW((home + L"\\Log").c_str(), nullptr);
}

void TVLServiceAdapterXImpl::RegisterKernelServer()
{
    if (!std::exchange(m_bRegistrationPending, false)) return;
    vl::RegisterKernelServer(*m_pUtility, m_bVerifyPublisher);
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::GetActivexObjID(ULONG* dwObjID)
{
    if (!dwObjID) return E_POINTER;
    *dwObjID = IsCallerAllowed() ? m_Link.PipeId() : 0;
    return S_OK;
}

HWND TVLServiceAdapterXImpl::FindKernelWindow()
{
    return vl::FindKernelWindow(*m_pUtility);
}

std::wstring TVLServiceAdapterXImpl::ProgramVerb() const
{
    return vl::ProgramVerb(m_bLegacyOS);
}

bool TVLServiceAdapterXImpl::StartWidgetKernel()
{
    m_hKernelWnd = vl::StartWidgetKernel(*m_pUtility, {m_szRegionVer, m_bLegacyOS, m_bVerifyPublisher});
    return m_hKernelWnd != nullptr;
}

HRESULT TVLServiceAdapterXImpl::ShutdownWidgetKernel()
{
    SetReadPipeTimer(false);
    m_Link.Send(vl::kernel_command::kLeaveNotice, 0, L"");
    vl::WaitForKernelToLeave(*m_pUtility);
    m_hKernelWnd = FindKernelWindow();
    ClosePipes();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::Uninitialize()
{
    return PageMethod([&] { return ShutdownWidgetKernel(); });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::SetUpdatorVersion(BSTR szVersion)
{
    return PageMethod([&] {
        m_szUpdatorVersion = vl::BstrText(szVersion);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::GetVersion(BSTR* szVersion)
{
    if (!szVersion) return E_POINTER;
    if (!IsCallerAllowed()) {
        SetDeniedResult(szVersion);
        return S_OK;
    }
    *szVersion = ::SysAllocString(kControlVersion);
    return *szVersion ? S_OK : vl::ReportException(IID_IVLServiceAdapterX, L"Out of memory");
}
