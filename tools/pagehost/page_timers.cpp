#include "page_timers.h"

#include <algorithm>
#include <utility>

namespace vl::pagehost {

namespace {

// Whether tick count `due` has come at `now`, across the count's wrap.
bool IsDue(DWORD due, DWORD now)
{
    return static_cast<LONG>(now - due) >= 0;
}

} // namespace

LONG PageTimers::Add(ComPtr<IDispatch> function, std::wstring code, ScriptLanguage language, DWORD ms, bool repeat)
{
    Timer timer;
    timer.id = ++m_lastId;
    timer.due = ::GetTickCount() + ms;
    timer.interval = ms;
    timer.repeat = repeat;
    timer.function = std::move(function);
    timer.code = std::move(code);
    timer.language = language;
    m_timers.push_back(std::move(timer));
    return m_lastId;
}

void PageTimers::Remove(LONG id)
{
    std::erase_if(m_timers, [&](const Timer& t) { return t.id == id; });
}

DWORD PageTimers::MillisecondsToNext() const
{
    const DWORD now = ::GetTickCount();
    DWORD next = INFINITE;
    for (const Timer& timer : m_timers)
        next = std::min<DWORD>(next, IsDue(timer.due, now) ? 0 : timer.due - now);
    return next;
}

std::vector<PageTimers::Timer> PageTimers::TakeDue()
{
    const DWORD now = ::GetTickCount();
    std::vector<Timer> due;
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (!IsDue(it->due, now)) {
            ++it;
            continue;
        }
        due.push_back(*it);
        if (it->repeat) {
            // An interval of 0 still lets the page's messages run between two runs.
            it->due = now + std::max<DWORD>(it->interval, 1);
            ++it;
        } else {
            it = m_timers.erase(it);
        }
    }
    std::stable_sort(due.begin(), due.end(), [&](const Timer& a, const Timer& b) {
        return static_cast<LONG>(a.due - b.due) < 0;
    });
    return due;
}

} // namespace vl::pagehost
