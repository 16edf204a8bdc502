#include "error_box_watcher.h"

namespace vl::test {

ErrorBoxWatcher::ErrorBoxWatcher(std::wstring caption)
    : m_caption(std::move(caption)), m_thread([this] { Watch(); })
{
}

ErrorBoxWatcher::~ErrorBoxWatcher()
{
    if (m_thread.joinable()) m_thread.join();
}

std::wstring ErrorBoxWatcher::Text()
{
    if (m_thread.joinable()) m_thread.join();
    return m_text;
}

void ErrorBoxWatcher::Watch()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (HWND box = ::FindWindowW(L"#32770", m_caption.c_str())) {
            wchar_t text[1024] = {};
            ::GetDlgItemTextW(box, 0xFFFF, text, 1024);
            m_text = text;
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            return;
        }
        ::Sleep(50);
    }
}

} // namespace vl::test
