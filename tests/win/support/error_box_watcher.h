// Watches for the control's error box from another thread: reads its text and closes it,
// so that a test can check a box without a person to dismiss it.
#pragma once

#include <windows.h>

#include <string>
#include <thread>

namespace vl::test {

class ErrorBoxWatcher {
public:
    // Watches for up to 10 s for a dialog box captioned `caption`.
    explicit ErrorBoxWatcher(std::wstring caption);
    ~ErrorBoxWatcher();
    ErrorBoxWatcher(const ErrorBoxWatcher&) = delete;
    ErrorBoxWatcher& operator=(const ErrorBoxWatcher&) = delete;

    // Waits for the watch to end: the box's text, empty when no box showed.
    std::wstring Text();

private:
    void Watch();

    std::wstring m_caption;
    std::wstring m_text;
    std::thread m_thread;
};

} // namespace vl::test
