#include "adapter_fixture.h"

#include "control_instance.h"

namespace vl::test {

namespace {

LRESULT CALLBACK KernelWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool g_forwardStarts = false;

BOOL WINAPI RecordingShellExecuteEx(SHELLEXECUTEINFOW* info)
{
    auto text = [](const wchar_t* value) { return std::wstring(value ? value : L""); };
    RecordedStarts().push_back(
        {text(info->lpVerb), text(info->lpFile), text(info->lpParameters), text(info->lpDirectory), info->nShow});
    return g_forwardStarts ? ::ShellExecuteExW(info) : TRUE;
}

} // namespace

FakeKernelWindow::FakeKernelWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = KernelWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TMainForm";
    ::RegisterClassW(&windowClass);
    m_window = ::CreateWindowW(L"TMainForm", L"VLWKernel", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               windowClass.hInstance, nullptr);
}

FakeKernelWindow::~FakeKernelWindow()
{
    Close();
}

void FakeKernelWindow::Close()
{
    if (m_window) ::DestroyWindow(m_window);
    m_window = nullptr;
}

void AdapterTest::SetUp()
{
    m_savedPlatform = Platform();
    RecordedStarts().clear();
    ResetProductState();
}

void AdapterTest::TearDown()
{
    adapter = nullptr;
    control.reset();
    Platform() = m_savedPlatform;
    ResetProductState();
}

bool AdapterTest::CreateControl()
{
    control = NewControlInstance();
    adapter = static_cast<TVLServiceAdapterXImpl*>(control.get());
    return static_cast<bool>(control);
}

bool AdapterTest::PumpEnabled() const
{
    return adapter->Form().m_ReadPipeTimer.Enabled();
}

std::vector<ShellStart>& RecordedStarts()
{
    static std::vector<ShellStart> starts;
    return starts;
}

void RecordShellStarts(bool forward)
{
    g_forwardStarts = forward;
    Platform().shellExecuteEx = RecordingShellExecuteEx;
}

} // namespace vl::test
