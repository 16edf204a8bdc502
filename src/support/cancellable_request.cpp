#include "support/cancellable_request.h"

#include <utility>

namespace vl {

bool CancellableRequest::Attach(HINTERNET request)
{
    CriticalSectionLock lock(m_lock);
    if (request && m_cancelled) ::InternetCloseHandle(request);
    else m_handle = request;
    return m_handle != nullptr;
}

void CancellableRequest::Cancel()
{
    HINTERNET ended = nullptr;
    {
        CriticalSectionLock lock(m_lock);
        m_cancelled = true;
        if (m_inCall) std::swap(ended, m_handle);
    }
    // Outside the lock: the call that this ends takes it on its way out.
    if (ended) ::InternetCloseHandle(ended);
}

void CancellableRequest::Close()
{
    CriticalSectionLock lock(m_lock);
    if (m_handle) ::InternetCloseHandle(m_handle);
    m_handle = nullptr;
}

} // namespace vl
