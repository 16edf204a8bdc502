// The page's timers, as window.setTimeout and setInterval make them: each runs a script
// function or a script text once it is due. The page runs them while no script of its
// own runs, as a browser does.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "pagehost/portable/html_page.h"
#include "support/win_handles.h"

namespace vl::pagehost {

class PageTimers {
public:
    struct Timer {
        LONG id = 0;
        DWORD due = 0; // tick count
        DWORD interval = 0;
        bool repeat = false;
        ComPtr<IDispatch> function; // or else:
        std::wstring code;
        ScriptLanguage language = ScriptLanguage::JScript;
    };

    // The new timer's identifier (from 1).
    LONG Add(ComPtr<IDispatch> function, std::wstring code, ScriptLanguage language, DWORD ms, bool repeat);
    void Remove(LONG id);
    bool Pending() const { return !m_timers.empty(); }
    // Milliseconds until the next one is due: 0 when one is, INFINITE without timers.
    DWORD MillisecondsToNext() const;
    // The timers that are due, in the order they fell due; repeating ones are set again.
    std::vector<Timer> TakeDue();
    void Clear() { m_timers.clear(); }

private:
    std::vector<Timer> m_timers;
    LONG m_lastId = 0;
};

} // namespace vl::pagehost
