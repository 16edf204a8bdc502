#include "kernel_link/kernel_launcher.h"

#include "support/platform_calls.h"
#include "support/program_check.h"
#include "support/widget_log.h"
#include "tables/portable/message_table.h"

namespace vl {

namespace {

constexpr const wchar_t* kKernelFileName = L"VLWidgetKernel.exe";
constexpr DWORD kKernelStartLimit = 10000;
constexpr DWORD kKernelStartPoll = 10;
constexpr int kShutdownPasses = 100;
constexpr DWORD kShutdownPoll = 100;
constexpr DWORD kPauseAfterProcessEnd = 1500;
constexpr DWORD kPauseAfterWindowGone = 3000;
constexpr int kSignatureErrorLine = 2121;

} // namespace

HWND FindKernelWindow(const CVLWidgetUtility& utility)
{
    const std::wstring title = utility.GetMessageText(kKernelWindowTitleMessage);
    return ::FindWindowW(L"TMainForm", title.empty() ? nullptr : title.c_str());
}

std::wstring KernelPath(const CVLWidgetUtility& utility)
{
    return utility.GetHomeFolder() + L"\\" + kKernelFileName;
}

void RegisterKernelServer(CVLWidgetUtility& utility, bool verifyPublisher)
{
    // Without a documents folder there is no home: nothing to register.
    if (utility.GetHomeFolder().empty()) return;
    const std::wstring path = KernelPath(utility);
    const HeldProgramFile kernel = utility.HoldProgram(path);
    const ProgramCheck check = CheckProgram(kernel, verifyPublisher);
    if (check != ProgramCheck::Passed) {
        LogFailedCheck(check, path, L"kernel registration: ");
        return;
    }
    VL_LOG(L"kernel registration: startup widget kernel.\n");
    StartProgram(false, kernel.Path(), L"/regserver", kernel.Folder(), SW_HIDE);
}

HWND StartWidgetKernel(CVLWidgetUtility& utility, const KernelStart& start)
{
    VL_LOG(L"starting create widget kernel process.\n");
    if (HWND window = FindKernelWindow(utility)) {
        VL_LOG(L"    widget kernel is running, return.\n");
        return window;
    }
    const std::wstring path = KernelPath(utility);
    // Held from the check until the start: nobody can swap the file in between.
    HeldProgramFile kernel = utility.HoldProgram(path);
    VL_LOG(L"    checking Torvane signature of widget kernel.\n");
    const ProgramCheck check = CheckProgram(kernel, start.verifyPublisher);
    if (check != ProgramCheck::Passed) {
        ShowFailedCheck(utility, check, path, L"VLServiceAdapterImpl", kSignatureErrorLine);
        LogFailedCheck(check, path, L"    ");
        return nullptr;
    }
    VL_LOG(L"    the Torvane signature was corrected.\n");
    VL_LOG(L"    startup widget kernel.\n");
    // A kernel that did not start (a refused elevation prompt) brings no window to wait for.
    if (!StartProgram(!start.legacyOS, kernel.Path(), start.regionValue, kernel.Folder(), SW_HIDE)) return nullptr;
    kernel.Release();

    const DWORD begin = Platform().getTickCount();
    for (;;) {
        if (HWND window = FindKernelWindow(utility)) return window;
        // Unsigned difference: a wrap of the tick counter does no harm.
        if (Platform().getTickCount() - begin >= kKernelStartLimit) {
            VL_LOG(L"    widget kernel startup failure, reture false.\n");
            return nullptr;
        }
        ::Sleep(kKernelStartPoll);
    }
}

void WaitForKernelToLeave(CVLWidgetUtility& utility)
{
    const DWORD pid = static_cast<DWORD>(utility.ReadRegInteger(L"PID"));
    for (int pass = 0; pass < kShutdownPasses; ++pass) {
        if (pid == 0) {
            if (!FindKernelWindow(utility)) {
                ::Sleep(kPauseAfterWindowGone);
                return;
            }
        } else if (::GetProcessVersion(pid) == 0) {
            ::Sleep(kPauseAfterProcessEnd);
            return;
        }
        ::Sleep(kShutdownPoll);
    }
}

} // namespace vl
