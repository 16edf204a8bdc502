#include "com_server/server_module.h"

#include "com_server/exception_boundary.h"

namespace vl {

void ServerModule::Init(HINSTANCE instance)
{
    m_instance = instance;
}

void ServerModule::Term()
{
    std::forward_list<TermStep> steps;
    {
        CriticalSectionLock lock(m_typeInfoLock);
        steps.swap(m_termSteps);
    }
    // Run outside the lock: the steps themselves take it to release what they guard.
    for (const TermStep& step : steps) step.func(step.data);
}

HRESULT ServerModule::AddTermFunc(TermFunc func, DWORD_PTR data)
{
    CriticalSectionLock lock(m_typeInfoLock);
    return CatchReturnHresult([&] {
        m_termSteps.push_front({func, data});
        return S_OK;
    });
}

ServerModule& Module()
{
    static ServerModule module;
    return module;
}

} // namespace vl
