// The service adapter's work without COM: initialization, the page's requests, the updater,
// the kernel's start and leave, and the response pump that raises the kernel's own
// messages, on a timer window of the core's own. The control and the service host each
// give it a container and hear its events (service_container.h); each page call answers a
// PageAnswer, which they turn into their own forms. Everything runs on the thread that
// made the core, which runs window messages.
#pragma once

#include <windows.h>

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "adapter/service_container.h"
#include "contract/portable/page_answer.h"
#include "kernel_link/kernel_link.h"
#include "support/development_mode.h"
#include "support/held_program_file.h"
#include "support/program_check.h"
#include "support/timer_window.h"
#include "support/widget_utility.h"

namespace vl {

class ServiceCore final {
public:
    // Reads the system's version and the development mode and makes the pump's window,
    // nothing else; null when the window cannot be made.
    static std::unique_ptr<ServiceCore> Create(IServiceContainer& container, IServiceEvents& events);
    // Nothing is sent: telling the kernel to leave is Uninitialize's.
    ~ServiceCore();
    ServiceCore(const ServiceCore&) = delete;
    ServiceCore& operator=(const ServiceCore&) = delete;

    // The page's calls, once the container has let the page through (OnCallAllowed first).
    // Initialize serves the container's page address; Initialize2 the one it is given.
    PageAnswer Initialize(const std::wstring& regionValue, const std::wstring& newerVersion);
    PageAnswer Initialize2(const std::wstring& regionValue, const std::wstring& newerVersion,
                           const std::wstring& checksum, ULONG timeout, const std::wstring& clientSite);
    PageAnswer SaveData(const std::wstring& key, const std::wstring& value);
    PageAnswer LoadData(const std::wstring& key);
    PageAnswer ClearData(const std::wstring& key);
    PageAnswer CheckRegionInfo();
    PageAnswer SendCommand(ULONG cmd, ULONG serial, const std::wstring& params);
    ULONG ObjectId() const { return m_link.PipeId(); }
    void Uninitialize() { ShutdownWidgetKernel(); }
    void SetUpdatorVersion(std::wstring version) { m_updaterVersion = std::move(version); }
    // The module's version.
    static const wchar_t* Version();
    // The kernel's file version in the home folder; empty when there is none.
    std::wstring InstalledKernelVersion() { return m_utility.GetKernelVersion(); }

    // The first call the container lets through makes the home folders, applies the step
    // log switch, creates the product key, logs a refused development mode and runs the
    // kernel's registration, once; the call goes on whatever became of them.
    void OnCallAllowed() noexcept;

    // "envver" = "Develop": no publisher check, and the development sites are portal pages.
    bool InDevelopmentMode() const { return !m_verifyPublisher; }

    // The steps of initialization and shutdown.
    bool CreatePipeChannel() { return m_link.Handshake(); }
    bool RegisterToWidgetKernel() { return m_link.Register(); }
    bool IsKernelLinked() { return m_link.IsLinked(); }
    bool StartWidgetKernel();
    ULONG StartUpdater(const std::wstring& newerVersion);

    // What tests look at after the steps.
    HANDLE ReadPipeForTesting() const { return m_link.ReadPipeForTesting(); }
    HANDLE WritePipeForTesting() const { return m_link.WritePipeForTesting(); }
    HWND KernelWindowForTesting() const { return m_kernelWindow; }
    const std::wstring& PageAddressForTesting() const { return m_clientSite; }
    bool IsLegacyOSForTesting() const { return m_legacyOS; }
    const FormTimer& PumpTimerForTesting() const { return m_pump->Timer(); }

private:
    ServiceCore(IServiceContainer& container, IServiceEvents& events, std::unique_ptr<TimerWindow> pump);

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
    HWND FindKernelWindow();
    void ShutdownWidgetKernel();
    void ClosePipes() { m_link.Close(); }
    // On success `updater` holds the file that passed the check (or, with the check
    // switched off, whatever could be held), until it has been started.
    bool DownloadUpdater(const std::wstring& updaterPath, HeldProgramFile& updater);
    // One tick of the pump's timer, or a wake when kernel bytes arrived.
    void OnPumpTick();
    void OnKernelMessage(int cmdId, int serialNum, const std::wstring& params);

    // Texts of a page call, each with its position among the call's parameters.
    using PositionedTexts = std::initializer_list<std::pair<std::size_t, const std::wstring*>>;
    // The fault of the first text that the kernel's code page cannot carry exactly.
    static std::optional<CallFault> UncarriedText(PositionedTexts texts);
    // Initialize's and Initialize2's refusal, before anything is stored: the region, the
    // version and `more` must be carried by the kernel's code page, the region and the
    // version fit for a command line.
    static std::optional<PageAnswer> InitializationRefusal(const std::wstring& regionValue,
                                                           const std::wstring& newerVersion, PositionedTexts more = {});
    // The common part of Initialize and Initialize2, after the region is stored.
    PageAnswer RunInitialization(const std::wstring& newerVersion);
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
    // The version rule and the publisher check of a held updater, the first that fails
    // answering. An updater found here is weighed by its version first, and passed over
    // quietly when older; a downloaded one by its signature first, as the user is shown
    // a failed signature.
    enum class UpdaterFound { Here, Downloaded };
    ProgramCheck CheckUpdater(const HeldProgramFile& updater, UpdaterFound found);

    // Runs a waiting request: link check, log line, exchange; nothing when the link is down.
    std::optional<ExchangeResult> RunRequest(int cmdId, const std::wstring& params, const wchar_t* logText);
    // The "RetData=" field of an answer.
    std::wstring RetData(const ExchangeResult& answered);

    IServiceContainer& m_container;
    IServiceEvents& m_events;
    HWND m_kernelWindow = nullptr;
    std::wstring m_regionValue;
    std::wstring m_updaterVersion;
    std::wstring m_clientSite;
    bool m_legacyOS = true;
    bool m_verifyPublisher = true;
    bool m_firstCallPending = true;
    DevelopmentModeDecision m_developmentMode = DevelopmentModeDecision::Off;
    CVLWidgetUtility m_utility;
    // The response pump's timer, which the link switches and wakes; gone after the link.
    std::unique_ptr<TimerWindow> m_pump;
    // The pipe pair, the pipe number and the kept messages.
    KernelLink m_link{m_pump->Timer(), m_utility};
};

} // namespace vl
