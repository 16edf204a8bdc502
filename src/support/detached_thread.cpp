#include "support/detached_thread.h"

#include <windows.h>

#include <memory>

#include "support/portable/exception_boundary.h"
#include "support/win_handles.h"

namespace vl {

namespace {

struct ThreadStart {
    std::function<void()> work;
    HMODULE module = nullptr;
};

DWORD WINAPI RunDetached(void* parameter)
{
    HMODULE module = nullptr;
    {
        const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
        module = start->module;
        // Nobody waits for this thread: there is no one to tell.
        CatchIgnore(start->work);
    }
    // The module may be unloaded as soon as its last reference goes: the thread must not
    // return into it.
    ::FreeLibraryAndExitThread(module, 0);
}

} // namespace

bool StartDetachedThread(std::function<void()> work)
{
    auto start = std::make_unique<ThreadStart>();
    start->work = std::move(work);
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&RunDetached),
                              &start->module))
        return false;
    const UniqueHandle thread(::CreateThread(nullptr, 0, RunDetached, start.get(), 0, nullptr));
    if (!thread) {
        const DWORD error = ::GetLastError();
        ::FreeLibrary(start->module);
        ::SetLastError(error);
        return false;
    }
    start.release(); // the thread's now
    return true;
}

} // namespace vl
