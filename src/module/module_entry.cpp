// The module's exported entry points and its class-object table.
#include <windows.h>

#include "control/VLServiceAdapterImpl.h"
#include "com_server/class_factory.h"
#include "com_server/server_module.h"
#include "com_server/server_registration.h"

namespace {

HRESULT CreateControl(IUnknown* outer, REFIID iid, void** out)
{
    return vl::CreateComInstance<TVLServiceAdapterXImpl>(outer, iid, out);
}

vl::ClassObjectEntry g_classObjects[] = {
    {&CLSID_VLServiceAdapterX, &vl::UpdateControlRegistry, &vl::ClassFactory::Create, &CreateControl, nullptr,
     nullptr, nullptr},
};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        vl::Module().Init(instance);
        ::DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Only when the host frees the module: at process exit the libraries whose objects
        // the clean-up releases may already be gone.
        vl::ReleaseClassObjects(g_classObjects);
        vl::Module().Term();
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out)
{
    return vl::GetClassObject(g_classObjects, clsid, iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return vl::Module().LockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllRegisterServer()
{
    return vl::RegisterServer(g_classObjects);
}

extern "C" HRESULT WINAPI DllUnregisterServer()
{
    return vl::UnregisterServer(g_classObjects);
}
