// The page's ambient properties, as a browser gives them to the controls on a page: user
// mode (never design mode), the page's colours and its font.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace vl::pagehost {

// Fills `value` with the ambient property `id`; DISP_E_MEMBERNOTFOUND for one the page
// does not have.
HRESULT ReadAmbientProperty(DISPID id, VARIANT* value);

} // namespace vl::pagehost
