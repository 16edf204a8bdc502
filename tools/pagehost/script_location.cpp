#include "script_location.h"

#include "dispatch_arguments.h"

namespace vl::pagehost {

HRESULT LocationObject::Call(DISPID, WORD, const DISPPARAMS&, VARIANT* result, UINT*)
{
    return SetText(result, m_url);
}

} // namespace vl::pagehost
