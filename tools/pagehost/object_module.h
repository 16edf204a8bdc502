// The module whose code serves an object: where its first interface table lies.
#pragma once

#include <windows.h>

namespace vl::pagehost {

// Null when the object's code lies in no module (it cannot, for a real object).
HMODULE ModuleServing(IUnknown* object);

} // namespace vl::pagehost
