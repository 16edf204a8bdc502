// Starting the widget kernel and waiting for its window; telling it that the adapter
// leaves and waiting until it has gone.
#include "adapter/VLServiceAdapterImpl.h"
#include "adapter/adapter_platform.h"
#include "com_server/service_adapter_form.h"
#include "support/held_program_file.h"
#include "support/widget_log.h"
#include "tables/portable/message_table.h"

namespace {

constexpr const wchar_t* kKernelFileName = L"VLWidgetKernel.exe";
constexpr DWORD kKernelStartLimit = 10000;
constexpr DWORD kKernelStartPoll = 10;
constexpr int kShutdownPasses = 100;
constexpr DWORD kShutdownPoll = 100;
constexpr DWORD kPauseAfterProcessEnd = 1500;
constexpr DWORD kPauseAfterWindowGone = 3000;
constexpr int kSignatureErrorLine = 2121;
constexpr int kLeaveNotice = 1;

// The execute record the kernel is started with is the platform's 60-byte one.
static_assert(sizeof(SHELLEXECUTEINFOW) == 60);

} // namespace

HWND TVLServiceAdapterXImpl::FindKernelWindow()
{
    const std::wstring title = m_pUtility->GetMessageText(vl::kKernelWindowTitleMessage);
    return ::FindWindowW(L"TMainForm", title.empty() ? nullptr : title.c_str());
}

std::wstring TVLServiceAdapterXImpl::KernelPath() const
{
    return m_pUtility->GetHomeFolder() + L"\\" + kKernelFileName;
}

std::wstring TVLServiceAdapterXImpl::ProgramVerb() const
{
    return m_bLegacyOS ? L"" : L"runas";
}

bool TVLServiceAdapterXImpl::StartWidgetKernel()
{
    VL_LOG(L"starting create widget kernel process.\n");
    m_hKernelWnd = FindKernelWindow();
    if (m_hKernelWnd) {
        VL_LOG(L"    widget kernel is running, return.\n");
        return true;
    }
    const std::wstring path = KernelPath();
    // Held from the check until the start: nobody can swap the file in between.
    vl::HeldProgramFile kernel(path);
    VL_LOG(L"    checking Torvane signature of widget kernel.\n");
    if (m_bVerifyPublisher && !(kernel.Held() && m_pUtility->VerifyPublisher(path))) {
        m_pUtility->ShowErrorBox(m_pUtility->GetMessageText(vl::kSignatureErrorMessage) + L"\n(" + path + L")",
                                 L"VLServiceAdapterImpl", kSignatureErrorLine);
        VL_LOG(L"    the Torvane signature was failed.\n");
        return false;
    }
    VL_LOG(L"    the Torvane signature was corrected.\n");
    VL_LOG(L"    startup widget kernel.\n");
    vl::StartProgram(ProgramVerb(), kernel.QuotedPath(), m_szRegionVer, m_pUtility->GetHomeFolder(), SW_HIDE);
    kernel.Release();

    const DWORD start = vl::Platform().getTickCount();
    for (;;) {
        m_hKernelWnd = FindKernelWindow();
        if (m_hKernelWnd) return true;
        // Unsigned difference: a wrap of the tick counter does no harm.
        if (vl::Platform().getTickCount() - start >= kKernelStartLimit) {
            VL_LOG(L"    widget kernel startup failure, reture false.\n");
            return false;
        }
        ::Sleep(kKernelStartPoll);
    }
}

HRESULT TVLServiceAdapterXImpl::ShutdownWidgetKernel()
{
    SetReadPipeTimer(false);
    m_Codec.WritePipeMessage(m_hWritePipe.get(), kLeaveNotice, 0, L"");
    const DWORD pid = static_cast<DWORD>(m_pUtility->ReadRegInteger(L"PID"));
    for (int pass = 0; pass < kShutdownPasses; ++pass) {
        if (pid == 0) {
            m_hKernelWnd = FindKernelWindow();
            if (!m_hKernelWnd) {
                ::Sleep(kPauseAfterWindowGone);
                break;
            }
        } else if (::GetProcessVersion(pid) == 0) {
            ::Sleep(kPauseAfterProcessEnd);
            break;
        }
        ::Sleep(kShutdownPoll);
    }
    ClosePipes();
    return S_OK;
}
