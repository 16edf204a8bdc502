// The module object: one per process, shared by every control instance of the module.
#pragma once

#include <windows.h>

#include <forward_list>

#include "support/win_handles.h"

namespace vl {

class ServerModule {
public:
    // A clean-up step run when the module is unloaded.
    using TermFunc = void (*)(DWORD_PTR data);

    ServerModule() = default;
    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;

    // Called when the module is loaded into a process and when it is unloaded.
    void Init(HINSTANCE instance);
    // Runs the termination list, newest step first, and empties it.
    void Term();

    // Live control instances plus outstanding server locks. Both return the new count.
    LONG Lock() { return ::InterlockedIncrement(&m_lockCount); }
    LONG Unlock() { return ::InterlockedDecrement(&m_lockCount); }
    LONG LockCount() const { return m_lockCount; }

    HINSTANCE Instance() const { return m_instance; }

    // Guards the lazy loading of type descriptions and every change of the termination list.
    CriticalSection& TypeInfoLock() { return m_typeInfoLock; }
    // Held by the control framework while it creates windows.
    CriticalSection& WindowCreationLock() { return m_windowCreationLock; }
    // Guards the lazy creation of class factories.
    CriticalSection& ClassObjectLock() { return m_classObjectLock; }

    // S_OK, or E_OUTOFMEMORY when the step could not be recorded.
    HRESULT AddTermFunc(TermFunc func, DWORD_PTR data);

private:
    struct TermStep {
        TermFunc func;
        DWORD_PTR data;
    };

    volatile LONG m_lockCount = 0;
    HINSTANCE m_instance = nullptr;
    CriticalSection m_typeInfoLock;
    CriticalSection m_windowCreationLock;
    CriticalSection m_classObjectLock;
    std::forward_list<TermStep> m_termSteps; // newest first
};

// The module object of this process.
ServerModule& Module();

} // namespace vl
