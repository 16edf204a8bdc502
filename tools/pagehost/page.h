// One page in the host: its window and document, its objects embedded on it with their
// events connected, and its scripts, which see each object by its name, the host object as
// "host" and the window's members (alert, setTimeout, document, location, onload ...) as
// globals. Built in the order a browser loads a page, taken down in the reverse order.
//
// A script page (.js) has one object, made from the command line's ProgID, and runs its
// script from top to bottom; the script's global functions named after events handle them.
// An HTML page (.html) runs as a browser runs a control page: its <object>s and <script>s
// in document order, then window.onload; events bound as pages bind them.
// Either page then lives while its timers run (and an HTML page, until nothing has happened
// for a second), then window.onunload runs and the page ends; host.exit ends it at once.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "host_object.h"
#include "host_window.h"
#include "page_document.h"
#include "page_frame.h"
#include "page_object.h"
#include "page_options.h"
#include "page_services.h"
#include "page_timers.h"
#include "pagehost/portable/html_page.h"
#include "script_document.h"
#include "script_host.h"
#include "script_window.h"
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

    // Opens the window and the document and starts the script engines; false, with the
    // reason printed, when one of them fails.
    bool Open();
    // Runs the page whose text is `text` to its end; the program's exit code: the
    // script's (0 unless it called host.exit), or kExitScriptError after a script error
    // when the script gave none.
    int Run(const std::wstring& text);

private:
    bool Fail(const std::wstring& step, HRESULT hr);
    void Close();
    void RunScriptPage(const std::wstring& code);
    void RunHtmlPage(const std::wstring& html);
    // Creates an object of the page, by class identifier or ProgID, and names it for script.
    PageObject& AddObject(const std::wstring& id, const std::wstring& classOrProgId, std::optional<SIZE> size);
    void RunScriptBlock(const ScriptBlock& block);
    // A <script src>: the file beside the page (LocalScriptSource), run as the block's code;
    // one that is refused or cannot be read is named, and the page goes on without it.
    void RunScriptSource(const ScriptBlock& block);
    ScriptHost& Engine(ScriptLanguage language);
    PageObject* FindObject(const std::wstring& id) const;
    // Runs the page's timers until none is left and, for `quietMs`, nothing happened.
    void RunUntilIdle(DWORD quietMs);
    // window.onload or onunload, set by JScript, or VBScript's window_onload/onunload.
    void RunWindowHandler(WindowObject::MemberId which, const wchar_t* vbscriptName);
    void NoteActivity() { m_lastActivity = ::GetTickCount(); }
    void SetEnginesStopped(bool stopped);

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
    ComPtr<PageDocument> m_document;
    ComPtr<PageServices> m_services;
    ComPtr<ScriptHost> m_jscript;
    ComPtr<ScriptHost> m_vbscript;
    ComPtr<HostObject> m_host;
    ComPtr<DocumentObject> m_scriptDocument;
    ComPtr<WindowObject> m_scriptWindow;
    PageTimers m_timers;
    std::vector<std::unique_ptr<PageObject>> m_objects;
    int m_handlers = 0; // functions made of <script for> blocks
    POINT m_nextOrigin;
    DWORD m_lastActivity = 0;
    bool m_ended = false;
    int m_exitCode = 0;
};

} // namespace vl::pagehost
