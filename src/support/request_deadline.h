// The overall deadline of one blocking WinINet request. The handle's timeouts bound each
// wait for the server, but a server that sends a byte just before every wait would end
// could hold a request, its headers included, for as long as it likes. When the deadline
// passes, a thread-pool timer closes the request's handle, which is the documented way
// to end a synchronous WinINet call that another thread is blocked in.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>

namespace vl {

class RequestDeadline {
public:
    // Watches `request`, which its owner keeps, for `timeMs` milliseconds from now.
    RequestDeadline(HINTERNET request, DWORD timeMs);
    ~RequestDeadline();
    RequestDeadline(const RequestDeadline&) = delete;
    RequestDeadline& operator=(const RequestDeadline&) = delete;

    // False when no timer could be set: the request would run unbounded.
    bool Armed() const { return m_timer != nullptr; }
    // Ends the watch, waiting for a closing already under way. True when the deadline
    // passed and the handle was closed: its owner must not close it again.
    bool Stop();

private:
    static void CALLBACK Expire(void* context, BOOLEAN);

    HINTERNET m_request;
    HANDLE m_timer = nullptr;
    std::atomic<bool> m_expired{false};
};

} // namespace vl
