// The service adapter's work without COM: initialization, the page's requests, the updater,
// the kernel's start and leave, and the response pump that raises the kernel's own
// messages. The control and the service host each give it a container and hear its events
// (service_container.h). Results are the control's: VLSRESULT codes and texts, with S_OK
// for a plain answer and S_FALSE where the call reports a failure of the link or of its
// arguments. Everything runs on the thread that made the core, which runs window messages.
#pragma once

#include <windows.h>

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "contract/portable/call_fault.h"
#include "adapter/service_container.h"
#include "kernel_link/kernel_link.h"
#include "support/development_mode.h"
#include "support/held_program_file.h"
#include "support/widget_utility.h"

namespace vl {

class ServiceCore final : private IKernelLinkHost {
public:
    // Reads the system's version and the development mode; makes nothing.
    ServiceCore(IServiceContainer& container, IServiceEvents& events);
    // Nothing is sent: telling the kernel to leave is Uninitialize's.
    ~ServiceCore();
    ServiceCore(const ServiceCore&) = delete;
    ServiceCore& operator=(const ServiceCore&) = delete;

    // The page's calls, once the container has let the page through (OnCallAllowed first).
    // Initialize serves the container's page address; Initialize2 the one it is given.
    HRESULT Initialize(const std::wstring& regionValue, const std::wstring& newerVersion, ULONG& result);
    HRESULT Initialize2(const std::wstring& regionValue, const std::wstring& newerVersion,
                        const std::wstring& checksum, ULONG timeout, const std::wstring& clientSite, ULONG& result);
    HRESULT SaveData(const std::wstring& key, const std::wstring& value, ULONG& result);
    HRESULT LoadData(const std::wstring& key, std::wstring& value);
    HRESULT ClearData(const std::wstring& key, ULONG& result);
    HRESULT CheckRegionInfo(ULONG& result);
    HRESULT SendCommand(ULONG cmd, ULONG serial, const std::wstring& params, ULONG& result);
    ULONG ObjectId() const { return m_Link.PipeId(); }
    // Why the page's call that just returned failed, when its result code cannot say it: a
    // text argument that the kernel's code page cannot carry, or a message lost with the
    // link. Taken once; the service host's page hears it as an error.
    std::optional<CallFault> TakeCallFault() { return std::exchange(m_callFault, std::nullopt); }
    HRESULT Uninitialize() { return ShutdownWidgetKernel(); }
    void SetUpdatorVersion(std::wstring version) { m_szUpdatorVersion = std::move(version); }
    // The module's version.
    static const wchar_t* Version();
    // The kernel's file version in the home folder; empty when there is none.
    std::wstring InstalledKernelVersion() { return m_Utility.GetKernelVersion(); }

    // The first call the container lets through makes the home folders, applies the step
    // log switch, creates the product key, logs a refused development mode and runs the
    // kernel's registration, once; the call goes on whatever became of them.
    void OnCallAllowed() noexcept;
    // One tick of the container's pump timer, or a wake when kernel bytes arrived.
    void OnPumpTick();

    // The steps of initialization and shutdown.
    bool CreatePipeChannel() { return m_Link.Handshake(); }
    bool RegisterToWidgetKernel() { return m_Link.Register(); }
    bool IsKernelLinked() { return m_Link.IsLinked(); }
    void ClosePipes() { m_Link.Close(); }
    HWND FindKernelWindow();
    bool StartWidgetKernel();
    HRESULT ShutdownWidgetKernel();
    ULONG StartUpdater(const std::wstring& newerVersion);
    // On success `updater` holds the file that passed the check (or, with the check
    // switched off, whatever could be held), until it has been started.
    bool DownloadUpdater(const std::wstring& updaterPath, HeldProgramFile& updater);

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
    // Keeps the container alive for a scope.
    class ContainerHold {
    public:
        explicit ContainerHold(IServiceContainer& container) : m_container(container) { m_container.Hold(); }
        ~ContainerHold() { m_container.Unhold(); }
        ContainerHold(const ContainerHold&) = delete;
        ContainerHold& operator=(const ContainerHold&) = delete;

    private:
        IServiceContainer& m_container;
    };

    void CreateHomeFolders();
    void SetPumpEnabled(bool enabled) override;
    bool IsPumpOn() const { return m_container.PumpTimer().Enabled(); }
    void OnKernelMessage(int cmdId, int serialNum, const std::wstring& params);

    // The argument check of Initialize and Initialize2, before anything is stored: the texts
    // carried by the kernel's code page (`more` are Initialize2's others, by their position
    // after the first two), the region and the version fit for a command line.
    bool AreArgumentsAccepted(const std::wstring& regionValue, const std::wstring& newerVersion,
                              std::initializer_list<std::pair<std::size_t, const std::wstring*>> more = {});
    // Whether the kernel's code page carries `text` exactly; else the call's fault names the
    // argument at `position`.
    bool IsTextCarried(const std::wstring& text, std::size_t position);
    // The common part of Initialize and Initialize2, after the region is stored.
    HRESULT RunInitialization(const std::wstring& newerVersion, ULONG& result);
    // True when the kernel must be updated; nothing when there is no home folder or the
    // required version is malformed.
    std::optional<bool> IsKernelUpdateNeeded(const std::wstring& newerVersion);
    void StoreRegion(const std::wstring& regionValue);

    std::wstring UpdaterPath() const;
    // Whether the stored updater version can name and judge an updater: empty, or a
    // version. Text that is not one makes every updater unusable, never a link fail.
    bool IsUpdaterVersionUsable() const;
    // The version rule of an updater file: at least the build's lowest updater version
    // (VL_MIN_UPDATER_VERSION) and the stored updater version.
    bool IsUpdaterRecentEnough(const std::wstring& updaterPath);

    // Runs a waiting request: link check, log line, exchange; nothing when the link is down.
    // A request lost with the link is the call's fault.
    std::optional<ExchangeResult> RunRequest(int cmdId, const std::wstring& params, const wchar_t* logText);
    // The "RetData=" field of an answer.
    std::wstring RetData(const ExchangeResult& answered);

    // IKernelLinkHost
    bool IsKernelWindowPresent() override;
    WindowMessage PumpWakeMessage() override { return m_container.PumpTimer().TickMessage(); }

    IServiceContainer& m_container;
    IServiceEvents& m_events;
    HWND m_hKernelWnd = nullptr;
    // The kernel's window as the link check found it last.
    HWND m_hLinkedKernelWnd = nullptr;
    std::wstring m_szRegionVer;
    std::wstring m_szUpdatorVersion;
    std::wstring m_szClientSite;
    bool m_bLegacyOS = true;
    bool m_bVerifyPublisher = true;
    bool m_bFirstCallPending = true;
    DevelopmentModeDecision m_developmentMode = DevelopmentModeDecision::Off;
    std::optional<CallFault> m_callFault;
    CVLWidgetUtility m_Utility;
    // The pipe pair, the pipe number and the kept messages.
    KernelLink m_Link{*this};
};

} // namespace vl
