#include "host_window.h"

#include "support/window_owner.h"

namespace vl::pagehost {

namespace {

constexpr wchar_t kClassName[] = L"VLPageHostWindow";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

bool RegisterWindowClass(WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (::GetClassInfoExW(::GetModuleHandleW(nullptr), kClassName, &windowClass)) return true;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassExW(&windowClass) != 0;
}

} // namespace

bool HostWindow::Create(const std::wstring& title, int width, int height)
{
    if (!RegisterWindowClass(&HostWindow::WindowProc)) return false;
    RECT frame{0, 0, width, height};
    ::AdjustWindowRect(&frame, kStyle, FALSE);
    m_window.reset(::CreateWindowExW(0, kClassName, title.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                     frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                     ::GetModuleHandleW(nullptr), this));
    if (!m_window) return false;
    ::ShowWindow(m_window.get(), SW_SHOWNORMAL);
    ::UpdateWindow(m_window.get());
    return true;
}

LRESULT CALLBACK HostWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = vl::WindowOwner<HostWindow>(window, message, lParam);
    if (message == WM_CLOSE && self) {
        self->m_closeRequested = true;
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace vl::pagehost
