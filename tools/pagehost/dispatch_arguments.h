// Arguments and results of the script calls that the host's own objects answer.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

#include "support/win_handles.h"

namespace vl::pagehost {

// Argument `index`, counted from the left (the array holds them from the right), by value.
HRESULT Argument(const DISPPARAMS& params, UINT index, UniqueVariant& value, UINT* argError);
// A script value as the script itself would print it.
HRESULT ArgumentText(const DISPPARAMS& params, UINT index, std::wstring& text, UINT* argError);
// A number argument; `fallback` when the script left it out.
HRESULT ArgumentNumber(const DISPPARAMS& params, UINT index, LONG fallback, LONG& number, UINT* argError);
// An object argument (a script function); null for null, undefined or a left-out argument.
HRESULT ArgumentObject(const DISPPARAMS& params, UINT index, ComPtr<IDispatch>& object, UINT* argError);

HRESULT SetText(VARIANT* result, std::wstring_view text);
void SetNumber(VARIANT* result, LONG number);
// An object for the script, or null.
void SetObject(VARIANT* result, IDispatch* object);

} // namespace vl::pagehost
