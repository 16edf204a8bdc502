// How the host makes and guards its own COM objects.
#pragma once

#include <new>
#include <utility>

#include "com_server/com_object.h"
#include "support/win_handles.h"

namespace vl::pagehost {

// A new object of ours, holding the one reference its creator owns.
template <typename T, typename... Args>
ComPtr<T> NewComObject(Args&&... args)
{
    return ComPtr<T>(new T(std::forward<Args>(args)...));
}

// The body of a COM method: no exception leaves it.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace vl::pagehost
