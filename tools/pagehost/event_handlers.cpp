#include "event_handlers.h"

#include <algorithm>
#include <utility>

namespace vl::pagehost {

namespace {

// Event names compare in any letter case, as the script languages write them.
bool SameName(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

} // namespace

EventHandlers::EventHandlers(ComPtr<ScriptHost> reporter, std::function<void()> onRaise)
    : m_reporter(std::move(reporter)), m_onRaise(std::move(onRaise))
{
}

void EventHandlers::AddFunction(const std::wstring& event, ComPtr<ScriptHost> engine, std::wstring function)
{
    m_named.push_back({event, std::move(engine), std::move(function)});
}

void EventHandlers::AddNamingRule(ComPtr<ScriptHost> engine, std::wstring prefix)
{
    m_named.push_back({L"", std::move(engine), std::move(prefix)});
}

void EventHandlers::Attach(const std::wstring& event, ComPtr<IDispatch> function)
{
    m_attached.push_back({event, std::move(function)});
}

bool EventHandlers::Detach(const std::wstring& event, IDispatch* function)
{
    const auto it = std::find_if(m_attached.begin(), m_attached.end(), [&](const Attached& a) {
        return SameName(a.event, event) && a.function.get() == function;
    });
    if (it == m_attached.end()) return false;
    m_attached.erase(it);
    return true;
}

void EventHandlers::Raise(const std::wstring& event, DISPPARAMS& args, const std::function<void(VARIANT&)>& takeResult)
{
    if (m_onRaise) m_onRaise();
    // Copies: a handler may bind or unbind handlers while the event runs.
    const std::vector<Named> named = m_named;
    for (const Named& handler : named) {
        if (!handler.event.empty() && !SameName(handler.event, event)) continue;
        const std::wstring function = handler.event.empty() ? handler.function + event : handler.function;
        UniqueVariant value;
        if (handler.engine->CallFunction(function, args, value.put()) == S_OK) takeResult(*value.get());
    }
    const std::vector<Attached> attached = m_attached;
    for (const Attached& handler : attached) {
        if (!SameName(handler.event, event) || !m_reporter) continue;
        UniqueVariant value;
        if (m_reporter->CallObject(handler.function.get(), args, value.put(), event + L" handler") == S_OK)
            takeResult(*value.get());
    }
}

} // namespace vl::pagehost
