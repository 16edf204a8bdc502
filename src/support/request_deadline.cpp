#include "support/request_deadline.h"

namespace vl {

RequestDeadline::RequestDeadline(HINTERNET request, DWORD timeMs) : m_request(request)
{
    if (!::CreateTimerQueueTimer(&m_timer, nullptr, Expire, this, timeMs, 0, WT_EXECUTEONLYONCE))
        m_timer = nullptr;
}

RequestDeadline::~RequestDeadline()
{
    Stop();
}

void CALLBACK RequestDeadline::Expire(void* context, BOOLEAN)
{
    auto& deadline = *static_cast<RequestDeadline*>(context);
    deadline.m_expired = true;
    ::InternetCloseHandle(deadline.m_request);
}

bool RequestDeadline::Stop()
{
    // INVALID_HANDLE_VALUE: returns only once a running Expire has finished.
    if (m_timer) ::DeleteTimerQueueTimer(nullptr, m_timer, INVALID_HANDLE_VALUE);
    m_timer = nullptr;
    return m_expired;
}

} // namespace vl
