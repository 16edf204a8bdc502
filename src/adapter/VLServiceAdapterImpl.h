// The object behind the automation interface: the link to the widget kernel, the region
// value and page address, the updater settings and the utility object that the page's
// calls share. Its operations are spread over the files of their subsystem: the kernel
// link in kernel_link/, initialization, requests and updater here in adapter/.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "com_server/service_adapter_control.h"
#include "com_server/service_adapter_form.h"
#include "kernel_link/pipe_message_codec.h"
#include "support/held_program_file.h"
#include "support/widget_utility.h"
#include "support/win_handles.h"

class TVLServiceAdapterXImpl final : public TVLServiceAdapterXControl, public IReadPipeTimerHandler {
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
    bool CreatePipeChannel();
    bool RegisterToWidgetKernel();
    bool IsKernelLinked();
    void ClosePipes();

    // Kernel link: response pump and request exchange.
    // One tick of the form's m_ReadPipeTimer.
    void OnReadPipeTimer() override;
    void OnKernelMessage(int cmdId, int serialNum, const std::wstring& params);
    // The answer's parameter text, or nothing when no answer came.
    std::optional<std::wstring> ExchangeRequest(int cmdId, const std::wstring& params);

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
    DWORD PipeId() const { return m_dwPipeID; }
    HANDLE ReadPipe() const { return m_hReadPipe.get(); }
    HANDLE WritePipe() const { return m_hWritePipe.get(); }
    bool IsLegacyOS() const { return m_bLegacyOS; }
    bool VerifiesPublisher() const { return m_bVerifyPublisher; }
    HWND KernelWindow() const { return m_hKernelWnd; }
    const std::wstring& PageAddress() const { return m_szClientSite; }

private:
    // A reference that keeps the object alive across calls that may run page script.
    vl::ComPtr<IUnknown> KeepAlive() { return vl::ComPtr<IUnknown>(static_cast<IVLServiceAdapterX*>(this)); }
    void RegisterKernelServer();
    void SetReadPipeTimer(bool enabled);
    // The common part of Initialize and Initialize2, after the region is stored.
    HRESULT RunInitialization(const std::wstring& newerVersion, ULONG* dwResult);
    // True when the kernel must be updated; nothing when the required version is malformed.
    std::optional<bool> IsKernelUpdateNeeded(const std::wstring& newerVersion);
    void StoreRegion(const std::wstring& regionValue);
    std::wstring ReadPageAddress();
    std::wstring KernelPath() const;
    std::wstring UpdaterPath() const;
    bool IsLocalUpdaterUsable(const std::wstring& updaterPath);
    std::wstring ProgramVerb() const;
    // Runs a waiting request: link check, log line, exchange; the answer's "RetData=".
    enum class RequestOutcome { LinkDown, Refused, Unanswered, Answered };
    RequestOutcome RunRequest(int cmdId, const std::wstring& params, const wchar_t* logText, std::wstring& retData);
    // Takes what the kernel already sent into the kept messages, before a request is written.
    void KeepWaitingMessages();
    // One read of the read pipe: 0 with `message` filled, or the codec's status.
    long ReadKernelMessage(vl::KernelMessage& message);
    void KeepMessage(vl::KernelMessage message);

    DWORD m_dwPipeID = 0;
    HWND m_hKernelWnd = nullptr;
    std::wstring m_szRegionVer;
    std::wstring m_szUpdatorVersion;
    std::wstring m_szClientSite;
    TVLServiceAdapterX* m_pForm = nullptr;
    bool m_bLegacyOS = true;
    bool m_bVerifyPublisher = true;
    vl::UniqueHandle m_hReadPipe;
    vl::UniqueHandle m_hWritePipe;
    vl::CVLPipeMessageCodec m_Codec;
    std::unique_ptr<vl::CVLWidgetUtility> m_pUtility;

    // Kernel messages read while a request waited for its answer, or already waiting when it
    // began; the pump handles them in arrival order before it reads the pipe again.
    std::deque<vl::KernelMessage> m_keptMessages;
    // A second Initialize opens a new pair and leaves the earlier one open: the kernel may
    // still hold it. Its handles are kept here and closed with the adapter.
    std::vector<vl::UniqueHandle> m_earlierPipes;
};
