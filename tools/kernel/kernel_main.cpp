// The stand-in widget kernel: the resident program that adapters start, find by its window
// and talk to over named pipes.
//
// Its command line is split the usual way. First argument "/regserver": records the
// registration run as the string "KernelRegistered" (the program's path) under
// HKCU\SOFTWARE\Torvane\vorlink! and ends. Otherwise the first argument is the region value. While it runs the kernel records
// "PID" (its process id) and "KernelRegion" (the region value) there and removes both when
// it ends; it ends after the leave notice of its last link, or when its window is closed.
// Only one kernel runs at a time: a second copy ends at once with exit code 3.
// Exit codes: 0 normal end, 1 no window, 2 VL_KERNEL_BEHAVIOUR not understood, 3 another
// kernel runs, 4 unexpected failure.
#include <windows.h>

#include <cwctype>
#include <string>

#include "command_line.h"
#include "kernel_behaviour.h"
#include "kernel_journal.h"
#include "kernel_store.h"
#include "kernel_window.h"
#include "link_server.h"
#include "stand_in_paths.h"
#include "support/portable/home_folder.h"
#include "support/product_registry.h"
#include "support/win_handles.h"

namespace {

constexpr wchar_t kInstanceMutex[] = L"VLWidgetKernel.SingleInstance";

bool IsRegistrationRun(std::wstring text)
{
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text == L"/regserver";
}

int RunKernel(HINSTANCE instance)
{
    vl::JournalLine(std::wstring(L"command line: ") + ::GetCommandLineW());
    const auto arguments = vl::CommandArguments(::GetCommandLineW());
    const std::wstring region = arguments.empty() ? std::wstring() : arguments.front();
    if (IsRegistrationRun(region)) return vl::WriteProductString(L"KernelRegistered", vl::ModulePath()) ? 0 : 4;

    const auto behaviour = vl::ParseKernelBehaviour(vl::EnvironmentText(L"VL_KERNEL_BEHAVIOUR"));
    if (!behaviour) return 2;
    const vl::UniqueHandle instanceMutex(::CreateMutexW(nullptr, FALSE, kInstanceMutex));
    if (!instanceMutex || ::GetLastError() == ERROR_ALREADY_EXISTS) return 3;

    vl::KernelStore store(vl::JoinPath(vl::StandInHomeFolder(), L"KernelStore.txt"));
    const int pid = static_cast<int>(::GetCurrentProcessId());
    vl::WriteProductInteger(L"PID", pid);
    vl::WriteProductString(L"KernelRegion", region);

    const vl::UniqueHandle quitEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    int result = 4;
    if (quitEvent) {
        vl::LinkServer server(*behaviour, region, store, quitEvent.get());
        server.Start();
        result = vl::RunKernelWindow(instance, quitEvent.get(), behaviour->windowDelayMs);
        server.Stop();
    }
    // A later kernel may have taken the value over.
    if (vl::ReadProductInteger(L"PID") == pid) vl::DeleteProductValue(L"PID");
    vl::DeleteProductValue(L"KernelRegion");
    return result;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    try {
        return RunKernel(instance);
    } catch (...) {
        return 4;
    }
}
