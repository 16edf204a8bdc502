// One page in the host: its window and document, the control embedded on it with its
// events connected, and the page's script, which sees the control by its name and the
// host object as "host". Built in the order a browser loads a page, taken down in the
// reverse order.
#pragma once

#include <windows.h>

#include <string>

#include "control_element.h"
#include "control_site.h"
#include "event_sink.h"
#include "host_object.h"
#include "host_window.h"
#include "page_document.h"
#include "page_frame.h"
#include "page_options.h"
#include "script_host.h"
#include "support/win_handles.h"

namespace vl::pagehost {

// The program's exit codes besides the script's own (host.exit).
inline constexpr int kExitScriptError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitHostFailure = 3;

class Page final : private HostServices {
public:
    explicit Page(PageOptions options);
    ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // Opens the window, creates and embeds the object, connects its events and starts the
    // script engine; false, with the reason printed, when one of them fails.
    bool Open();
    // Runs the page's script; the program's exit code: the script's (0 unless it called
    // host.exit), or kExitScriptError after a script error when the script gave none.
    int Run(const std::wstring& code);

private:
    bool Fail(const std::wstring& step, HRESULT hr);
    void Close();

    // HostServices
    void Wait(DWORD ms) override;
    void Exit(int code) override;
    HWND Window() const override;
    HWND ControlWindow() const override;
    void RemoveControl() override;
    std::wstring ControlModule() const override;

    const PageOptions m_options;
    HostWindow m_window;
    ComPtr<PageFrame> m_frame;
    ComPtr<ControlSite> m_site;
    ComPtr<IUnknown> m_control;
    // What the script knows by the object's name.
    ComPtr<ControlElement> m_element;
    ComPtr<ScriptHost> m_script;
    ComPtr<HostObject> m_host;
    EventConnection m_events;
    EventConnection m_propertyNotices;
    int m_exitCode = 0;
};

} // namespace vl::pagehost
