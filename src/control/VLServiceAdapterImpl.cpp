#include "control/VLServiceAdapterImpl.h"

#include "adapter/install_browser.h"
#include "com_server/event_proxy.h"

using vl::BstrText;

namespace {

// A missing region or version text fails before anything is stored.
vl::PageAnswer MissingArguments()
{
    return vl::NumberAnswer(VLS_FAIL, true);
}

} // namespace

TVLServiceAdapterXImpl::TVLServiceAdapterXImpl() = default;

TVLServiceAdapterXImpl::~TVLServiceAdapterXImpl() = default;

HRESULT TVLServiceAdapterXImpl::InitializeControl()
{
    vl::RelayFormEvents(Form(), *this);
    vl::IServiceContainer& container = *this;
    vl::IServiceEvents& events = *this;
    m_core = vl::ServiceCore::Create(container, events);
    if (!m_core) return vl::ReportException(GUID_NULL, L"The response pump's window cannot be created");
    return S_OK;
}

void TVLServiceAdapterXImpl::OnResult(ULONG cmd, ULONG serial, const std::wstring& params)
{
    vl::UniqueBstr text(params);
    Fire_OnResult(cmd, serial, text.get());
}

void TVLServiceAdapterXImpl::OpenInstallPage(const std::wstring& address, const std::wstring& clientSite)
{
    vl::StartInstallBrowser(address, clientSite, m_core->InDevelopmentMode());
}

bool TVLServiceAdapterXImpl::SetResult(ULONG* out, const vl::PageResult& result)
{
    *out = std::get<std::uint32_t>(result);
    return true;
}

bool TVLServiceAdapterXImpl::SetResult(BSTR* out, const vl::PageResult& result)
{
    *out = vl::UniqueBstr(std::get<std::wstring>(result)).release();
    return *out != nullptr;
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::Initialize(BSTR szRegionVer, BSTR szNewerVersion, BSTR, ULONG,
                                                             ULONG* dwResult)
{
    return PageMethod(dwResult, [&] {
        if (!szRegionVer || !szNewerVersion) return MissingArguments();
        return m_core->Initialize(BstrText(szRegionVer), BstrText(szNewerVersion));
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::Initialize2(BSTR szRegionVersion, BSTR szNewerVersion,
                                                              BSTR szChksum, ULONG dwTimeout, BSTR szClientSite,
                                                              ULONG* dwResult)
{
    return PageMethod(dwResult, [&] {
        if (!szRegionVersion || !szNewerVersion) return MissingArguments();
        return m_core->Initialize2(BstrText(szRegionVersion), BstrText(szNewerVersion), BstrText(szChksum), dwTimeout,
                                   BstrText(szClientSite));
    });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::SaveData(BSTR szKey, BSTR szValue, ULONG* szResult)
{
    return PageMethod(szResult, [&] { return m_core->SaveData(BstrText(szKey), BstrText(szValue)); });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::LoadData(BSTR szKey, BSTR* szValue)
{
    return PageMethod(szValue, [&] { return m_core->LoadData(BstrText(szKey)); });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::ClearData(BSTR szKey, ULONG* dwResult)
{
    return PageMethod(dwResult, [&] { return m_core->ClearData(BstrText(szKey)); });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::CheckRegionInfo(ULONG* dwResult)
{
    return PageMethod(dwResult, [&] { return m_core->CheckRegionInfo(); });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::SendCommand(ULONG dwCmd, ULONG dwSerialNum, BSTR szParams,
                                                              ULONG* dwResult)
{
    return PageMethod(dwResult, [&] { return m_core->SendCommand(dwCmd, dwSerialNum, BstrText(szParams)); });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::GetActivexObjID(ULONG* dwObjID)
{
    if (!dwObjID) return E_POINTER;
    *dwObjID = IsCallerAllowed() ? m_core->ObjectId() : 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::Uninitialize()
{
    return PageMethod([&] { m_core->Uninitialize(); });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::SetUpdatorVersion(BSTR szVersion)
{
    return PageMethod([&] { m_core->SetUpdatorVersion(BstrText(szVersion)); });
}

HRESULT STDMETHODCALLTYPE TVLServiceAdapterXImpl::GetVersion(BSTR* szVersion)
{
    if (!szVersion) return E_POINTER;
    if (!IsCallerAllowed()) {
        SetDeniedResult(szVersion);
        return S_OK;
    }
    *szVersion = ::SysAllocString(vl::ServiceCore::Version());
    return *szVersion ? S_OK : vl::ReportException(IID_IVLServiceAdapterX, L"Out of memory");
}
