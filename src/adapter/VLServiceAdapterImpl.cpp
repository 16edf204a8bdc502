#include "adapter/VLServiceAdapterImpl.h"

#include "adapter/automation_guard.h"
#include "com_server/error_info.h"
#include "com_server/event_proxy.h"
#include "support/product_registry.h"
#include "support/widget_log.h"

namespace {
constexpr const wchar_t* kComponentName = L"vorlink! ActiveX";
constexpr const wchar_t* kControlVersion = L"1.1.31.362";
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
    RegisterKernelServer();

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    m_bLegacyOS = !(::GetVersionExA(&version) && version.dwMajorVersion == 6);
    vl::CreateProductKey();
    m_bVerifyPublisher = vl::ReadProductString(L"envver") != L"Develop";
    return S_OK;
}

void TVLServiceAdapterXImpl::RegisterKernelServer()
{
    const std::wstring home = m_pUtility->GetHomeFolder();
    // Without a documents folder there is no home: nothing to create or register.
    if (home.empty()) return;
    ::CreateDirectoryW(home.c_str(), nullptr);
    ::CreateDirectoryW((home + L"\\Log").c_str(), nullptr);
    // The path is not quoted.
    std::wstring commandLine = KernelPath() + L" /regserver";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &process)) {
        // Not waited for: owning the handles only closes them.
        vl::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    }
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::GetActivexObjID(ULONG* dwObjID)
{
    if (!dwObjID) return E_POINTER;
    *dwObjID = m_dwPipeID;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::Uninitialize()
{
    return vl::GuardedMethod([&] { return ShutdownWidgetKernel(); });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::SetUpdatorVersion(BSTR szVersion)
{
    return vl::GuardedMethod([&] {
        m_szUpdatorVersion = vl::BstrText(szVersion);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::GetVersion(BSTR* szVersion)
{
    if (!szVersion) return E_POINTER;
    *szVersion = ::SysAllocString(kControlVersion);
    return *szVersion ? S_OK : vl::ReportException(IID_IVLServiceAdapterX, L"Out of memory");
}
