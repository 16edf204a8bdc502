// The handle of a WinINet request whose calls run on one thread while another thread may
// give the request up. Closing the handle is the documented way to end a blocking WinINet
// call from another thread; it is closed exactly once: by the giving up while a call is
// under way on it, or else by the request's own thread. Once the request is given up no
// call starts on the handle, which WinINet may by then have handed out again.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "support/win_handles.h"

namespace vl {

class CancellableRequest {
public:
    CancellableRequest() = default;
    CancellableRequest(const CancellableRequest&) = delete;
    CancellableRequest& operator=(const CancellableRequest&) = delete;

    // The request's thread: takes `request` (HttpOpenRequest's). False when there is none,
    // or when the request was given up already (the handle is closed then).
    bool Attach(HINTERNET request);

    // The request's thread: `call(handle)` unless the request was given up. False when it
    // was, before or during the call; otherwise the call's result, with the thread's last
    // error as the call left it.
    template <typename Call>
    bool Run(Call&& call)
    {
        HINTERNET handle = nullptr;
        {
            CriticalSectionLock lock(m_lock);
            if (m_cancelled || !m_handle) return false;
            handle = m_handle.get();
            m_inCall = true;
        }
        const bool succeeded = call(handle);
        const DWORD error = ::GetLastError();
        CriticalSectionLock lock(m_lock);
        m_inCall = false;
        ::SetLastError(error);
        return succeeded && !m_cancelled;
    }

    // Any thread: no call starts from now on, and a call under way is ended.
    void Cancel();
    // The request's thread, once it is done with the handle: closes it unless the giving
    // up did.
    void Close();

private:
    CriticalSection m_lock;
    UniqueInternetHandle m_handle;
    bool m_inCall = false;
    bool m_cancelled = false;
};

} // namespace vl
