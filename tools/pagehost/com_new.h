// How the host makes its own COM objects; vl::CatchReturnHresult guards their methods.
#pragma once

#include <new>
#include <utility>

#include "com_server/com_object.h"
#include "com_server/exception_boundary.h"
#include "support/win_handles.h"

namespace vl::pagehost {

// A new object of ours, holding the one reference its creator owns.
template <typename T, typename... Args>
ComPtr<T> NewComObject(Args&&... args)
{
    return ComPtr<T>(new T(std::forward<Args>(args)...));
}

} // namespace vl::pagehost
