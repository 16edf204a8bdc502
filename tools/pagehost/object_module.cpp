#include "object_module.h"

namespace vl::pagehost {

HMODULE ModuleServing(IUnknown* object)
{
    if (!object) return nullptr;
    const auto table = *reinterpret_cast<void* const*>(object);
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(table), &module))
        return nullptr;
    return module;
}

} // namespace vl::pagehost
