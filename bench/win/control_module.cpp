#include "control_module.h"

#include <ole2.h>

#include <exception>

#include "bench_report.h"
#include "fixtures/test_paths.h"

namespace vl::bench {

ControlModule::~ControlModule()
{
    // The factory's code lives in the module.
    m_factory.reset();
}

bool ControlModule::Load(const std::wstring& path)
{
    Stopwatch watch;
    m_module.reset(::LoadLibraryW(path.c_str()));
    m_loadMs = watch.Milliseconds();
    if (!m_module) {
        m_failure = "LoadLibrary failed with error " + std::to_string(::GetLastError());
        return false;
    }
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    watch.Restart();
    const auto entry = reinterpret_cast<GetClassObject>(::GetProcAddress(m_module.get(), "DllGetClassObject"));
    const HRESULT result = entry ? entry(CLSID_VLServiceAdapterX, IID_IClassFactory, m_factory.put_void()) : E_FAIL;
    m_classObjectMs = watch.Milliseconds();
    if (FAILED(result) || !m_factory) {
        m_failure = "DllGetClassObject failed";
        return false;
    }
    return true;
}

ComPtr<IVLServiceAdapterX> ControlModule::CreateInstance()
{
    ComPtr<IVLServiceAdapterX> instance;
    if (m_factory) m_factory->CreateInstance(nullptr, IID_IVLServiceAdapterX, instance.put_void());
    return instance;
}

std::wstring BuiltModulePath()
{
    return vl::test::BuildFile(L"VLServiceAdapter.ocx");
}

int RunOnPageThread(const char* key, int (*run)())
{
    if (FAILED(::OleInitialize(nullptr))) {
        PrintMissing(key, "OLE could not be initialized");
        return 1;
    }
    int result = 1;
    try {
        result = run();
    } catch (const std::exception& error) {
        PrintMissing(key, error.what());
    }
    ::OleUninitialize();
    return result;
}

} // namespace vl::bench
