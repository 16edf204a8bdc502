// The built control module loaded as a browser loads it: LoadLibrary, DllGetClassObject
// for the control's class, and instances from that class factory.
#pragma once

#include <windows.h>

#include <string>

#include "com_server/Vlserviceadapter_tlb.h"
#include "support/win_handles.h"

namespace vl::bench {

class ControlModule {
public:
    ControlModule() = default;
    ControlModule(const ControlModule&) = delete;
    ControlModule& operator=(const ControlModule&) = delete;
    // Instances must be gone before the module: declare them after it.
    ~ControlModule();

    // Loads the module at `path` and takes the class object, timing both steps; on failure
    // Failure() says which step failed.
    bool Load(const std::wstring& path);
    const std::string& Failure() const { return m_failure; }
    double LoadMilliseconds() const { return m_loadMs; }
    double ClassObjectMilliseconds() const { return m_classObjectMs; }

    // A new instance from the class factory; null when the factory refused.
    ComPtr<IVLServiceAdapterX> CreateInstance();

private:
    UniqueModule m_module;
    ComPtr<IClassFactory> m_factory;
    std::string m_failure;
    double m_loadMs = 0;
    double m_classObjectMs = 0;
};

// The module of the build tree.
std::wstring BuiltModulePath();

// The exit code of `run`, called on a single-threaded apartment as a page's thread is;
// 1 when OLE cannot be initialized or `run` throws, reported as not measured under `key`.
int RunOnPageThread(const char* key, int (*run)());

} // namespace vl::bench
