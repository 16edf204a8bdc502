// The definition of the control's form: the record the form `TVLServiceAdapterX` is built
// from, stored in the module as an RCDATA resource in the component stream format.
#pragma once

#include "com_server/portable/component_stream.h"

namespace vl {

inline constexpr wchar_t kFormDefinitionResource[] = L"TVLSERVICEADAPTERX";

inline constexpr char kFormClassName[] = "TVLServiceAdapterX";
inline constexpr char kFormName[] = "VLServiceAdapterX";
inline constexpr char kPatchHttpName[] = "m_PatchHttp";
inline constexpr char kReadPipeTimerName[] = "m_ReadPipeTimer";

// The form with its creation values and its two components, the HTTP client
// `m_PatchHttp` and the response pump's timer `m_ReadPipeTimer`.
ComponentRecord BuildFormDefinition();

} // namespace vl
