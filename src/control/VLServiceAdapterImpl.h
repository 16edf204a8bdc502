// The control: the automation methods of IVLServiceAdapterX over the service core, which
// it gives the form's HTTP client, the page's address and the control's life, and whose
// OnResult it raises on the page's sinks. Which page may call is decided here
// (page_site.cpp): wherever the control shows in a page, or the container said that
// untrusted callers script it, only the portal's own pages.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "adapter/service_core.h"
#include "com_server/exception_boundary.h"
#include "com_server/service_adapter_control.h"
#include "com_server/service_adapter_form.h"

class TVLServiceAdapterXImpl final : public TVLServiceAdapterXControl,
                                     private vl::IServiceContainer,
                                     private vl::IServiceEvents {
public:
    TVLServiceAdapterXImpl();
    ~TVLServiceAdapterXImpl() override;

    // IVLServiceAdapterX methods.
    HRESULT STDMETHODCALLTYPE Initialize(BSTR szRegionVer, BSTR szNewerVersion, BSTR szChksum, ULONG dwTimeout,
                                         ULONG* dwResult) override;
    HRESULT STDMETHODCALLTYPE SaveData(BSTR szKey, BSTR szValue, ULONG* szResult) override;
    HRESULT STDMETHODCALLTYPE LoadData(BSTR szKey, BSTR* szValue) override;
    HRESULT STDMETHODCALLTYPE SendCommand(ULONG dwCmd, ULONG dwSerialNum, BSTR szParams, ULONG* dwResult) override;
    HRESULT STDMETHODCALLTYPE ClearData(BSTR szKey, ULONG* dwResult) override;
    HRESULT STDMETHODCALLTYPE GetActivexObjID(ULONG* dwObjID) override;
    HRESULT STDMETHODCALLTYPE CheckRegionInfo(ULONG* dwResult) override;
    HRESULT STDMETHODCALLTYPE Uninitialize() override;
    HRESULT STDMETHODCALLTYPE SetUpdatorVersion(BSTR szVersion) override;
    HRESULT STDMETHODCALLTYPE Initialize2(BSTR szRegionVersion, BSTR szNewerVersion, BSTR szChksum, ULONG dwTimeout,
                                          BSTR szClientSite, ULONG* dwResult) override;
    HRESULT STDMETHODCALLTYPE GetVersion(BSTR* szVersion) override;

    // Control initialization: runs once, after the form exists; makes the service core.
    HRESULT InitializeControl() override;

    // The service core behind the methods; there from InitializeControl on.
    vl::ServiceCore& CoreForTesting() { return *m_core; }

private:
    // Whether the page's script may use the control now; a refusal is logged with the
    // page's address. The first call let through runs the kernel's registration.
    bool IsCallerAllowed() noexcept;
    // Whether the site lock holds: the container hosts untrusted callers, or the control's
    // site leads to an HTML document (page_site.cpp). Then only portal pages may call.
    bool IsSiteLockInForce();
    // The site lock: whether the hosting page may use the control.
    bool IsPageAllowed() noexcept;
    // The address of the page's HTML document, from either site; empty outside a page.
    std::wstring ReadPageAddress();
    // The body of a page's method, run only when IsCallerAllowed: a refused call has no
    // effect and answers the denied result (VLS_PERMISSION_DENIED, or "Failure" for a text).
    // The core's answer becomes the result in *out, and S_FALSE when the call failed. A
    // throw answers the page's failure result and S_FALSE.
    template <typename Out, typename Body>
    HRESULT PageMethod(Out* out, Body&& body)
    {
        return vl::CatchReturnPageFailure(out, [&] {
            if (!IsCallerAllowed()) {
                SetDeniedResult(out);
                return S_OK;
            }
            const vl::PageAnswer answer = body();
            if (!SetResult(out, answer.result)) return E_OUTOFMEMORY;
            return answer.failed ? S_FALSE : S_OK;
        });
    }
    template <typename Body>
    HRESULT PageMethod(Body&& body)
    {
        return vl::CatchReturn(S_FALSE, [&] {
            if (IsCallerAllowed()) body();
            return S_OK;
        });
    }
    static void SetDeniedResult(ULONG* out) { *out = VLS_PERMISSION_DENIED; }
    static void SetDeniedResult(BSTR* out) { vl::SetFailureResult(out); }
    // False when the text cannot be allocated.
    static bool SetResult(ULONG* out, const vl::PageResult& result);
    static bool SetResult(BSTR* out, const vl::PageResult& result);

    // vl::IServiceContainer
    std::wstring PageAddress() override { return ReadPageAddress(); }
    vl::PatchHttp& UpdaterHttp() override { return Form().m_PatchHttp; }
    bool ShowsErrorBoxes() override { return true; }
    void OpenInstallPage(const std::wstring& address, const std::wstring& clientSite) override;
    void Hold() override { static_cast<IVLServiceAdapterX*>(this)->AddRef(); }
    void Unhold() override { static_cast<IVLServiceAdapterX*>(this)->Release(); }

    // vl::IServiceEvents
    void OnResult(ULONG cmd, ULONG serial, const std::wstring& params) override;

    std::unique_ptr<vl::ServiceCore> m_core;
};
