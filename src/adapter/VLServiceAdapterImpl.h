// The object behind the automation interface: the link to the widget kernel, the region
// value and page address, the updater settings and the utility object that the page's
// calls share. The link itself lives in kernel_link/; the operations here that carry its
// names hand over to it. Initialization, requests, the response pump's dispatch and the
// updater are in adapter/.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "com_server/exception_boundary.h"
#include "com_server/service_adapter_control.h"
#include "com_server/service_adapter_form.h"
#include "kernel_link/kernel_link.h"
#include "support/held_program_file.h"
#include "support/widget_utility.h"
#include "support/win_handles.h"

class TVLServiceAdapterXImpl final : public TVLServiceAdapterXControl,
                                     public IReadPipeTimerHandler,
                                     private vl::IKernelLinkHost {
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

    // Control initialization: runs once, after the form exists.
    HRESULT InitializeControl() override;

    // Kernel link: pipe channel and handshake.
    bool CreatePipeChannel() { return m_Link.Handshake(); }
    bool RegisterToWidgetKernel() { return m_Link.Register(); }
    bool IsKernelLinked() { return m_Link.IsLinked(); }
    void ClosePipes() { m_Link.Close(); }

    // Kernel link: response pump and request exchange.
    // One tick of the form's m_ReadPipeTimer, or a wake when kernel bytes arrived.
    void OnReadPipeTimer() override;
    void OnKernelMessage(int cmdId, int serialNum, const std::wstring& params);
    vl::ExchangeResult ExchangeRequest(int cmdId, const std::wstring& params) { return m_Link.Exchange(cmdId, params); }

    // Kernel process.
    HWND FindKernelWindow();
    bool StartWidgetKernel();
    HRESULT ShutdownWidgetKernel();

    // Updater.
    ULONG StartUpdater(const std::wstring& newerVersion);
    // On success `updater` holds the file that passed the check (or, with the check
    // switched off, whatever could be held), until it has been started.
    bool DownloadUpdater(const std::wstring& updaterPath, vl::HeldProgramFile& updater);

    // State the tests look at.
    DWORD PipeId() const { return m_Link.PipeId(); }
    HANDLE ReadPipe() const { return m_Link.ReadPipe(); }
    HANDLE WritePipe() const { return m_Link.WritePipe(); }
    bool IsLegacyOS() const { return m_bLegacyOS; }
    bool VerifiesPublisher() const { return m_bVerifyPublisher; }
    // "envver" = "Develop": no publisher check, and the development sites are portal pages.
    bool InDevelopmentMode() const { return !m_bVerifyPublisher; }
    HWND KernelWindow() const { return m_hKernelWnd; }
    const std::wstring& PageAddress() const { return m_szClientSite; }

private:
    // Whether the page's script may use the control now (page_site.cpp); a refusal is
    // logged with the page's address. The first call let through runs the kernel's
    // registration before it goes on.
    bool IsCallerAllowed() noexcept;
    // Whether the site lock holds: the container hosts untrusted callers, or the control's
    // site leads to an HTML document (page_site.cpp). Then only portal pages may call.
    bool IsSiteLockInForce();
    // The site lock: whether the hosting page may use the control.
    bool IsPageAllowed() noexcept;
    // The body of a page's method, run only when IsCallerAllowed: a refused call has no
    // effect and answers the denied result (VLS_PERMISSION_DENIED, or "Failure" for a text).
    // A throw answers the page's failure result and S_FALSE.
    template <typename Out, typename Body>
    HRESULT PageMethod(Out* out, Body&& body)
    {
        return vl::CatchReturnPageFailure(out, [&] {
            if (IsCallerAllowed()) return body();
            SetDeniedResult(out);
            return S_OK;
        });
    }
    template <typename Body>
    HRESULT PageMethod(Body&& body)
    {
        return vl::CatchReturn(S_FALSE, [&] { return IsCallerAllowed() ? body() : S_OK; });
    }
    static void SetDeniedResult(ULONG* out) { *out = VLS_PERMISSION_DENIED; }
    static void SetDeniedResult(BSTR* out) { vl::SetFailureResult(out); }
    // A reference that keeps the object alive across calls that may run page script.
    vl::ComPtr<IUnknown> KeepAlive() { return vl::ComPtr<IUnknown>(static_cast<IVLServiceAdapterX*>(this)); }
    void CreateHomeFolders();
    // The kernel's registration run, once per instance, at the first call that the site
    // lock lets through: a page the lock refuses never causes it.
    void RegisterKernelServer();
    void SetReadPipeTimer(bool enabled);
    // The argument check of Initialize and Initialize2, before anything is stored: both
    // texts given, and fit for a command line.
    bool AreArgumentsAccepted(BSTR szRegionVer, BSTR szNewerVersion) const;
    bool IsReadPipeTimerOn() const;

    // vl::IKernelLinkHost
    bool IsKernelWindowPresent() override { return FindKernelWindow() != nullptr; }
    void SetPumpEnabled(bool enabled) override { SetReadPipeTimer(enabled); }
    vl::WindowMessage PumpWakeMessage() override;

    // The common part of Initialize and Initialize2, after the region is stored.
    HRESULT RunInitialization(const std::wstring& newerVersion, ULONG* dwResult);
    // True when the kernel must be updated; nothing when there is no home folder or the
    // required version is malformed.
    std::optional<bool> IsKernelUpdateNeeded(const std::wstring& newerVersion);
    void StoreRegion(const std::wstring& regionValue);
    // The address of the page's HTML document, from either site; empty outside a page.
    std::wstring ReadPageAddress();
    std::wstring UpdaterPath() const;
    // Whether the stored updater version can name and judge an updater: empty, or a
    // version. Text that is not one makes every updater unusable, never a link fail.
    bool IsUpdaterVersionUsable() const;
    // The version rule of an updater file: at least the stored updater version.
    bool IsUpdaterRecentEnough(const std::wstring& updaterPath);
    bool IsLocalUpdaterUsable(const std::wstring& updaterPath);
    std::wstring ProgramVerb() const;
    // Runs a waiting request: link check, log line, exchange; nothing when the link is down.
    std::optional<vl::ExchangeResult> RunRequest(int cmdId, const std::wstring& params, const wchar_t* logText);
    // The "RetData=" field of an answer.
    std::wstring RetData(const vl::ExchangeResult& answered);

    HWND m_hKernelWnd = nullptr;
    std::wstring m_szRegionVer;
    std::wstring m_szUpdatorVersion;
    std::wstring m_szClientSite;
    TVLServiceAdapterX* m_pForm = nullptr;
    bool m_bLegacyOS = true;
    bool m_bVerifyPublisher = true;
    bool m_bRegistrationPending = true;
    std::unique_ptr<vl::CVLWidgetUtility> m_pUtility;
    // The pipe pair, the pipe number and the kept messages.
    vl::KernelLink m_Link{*this};
};
