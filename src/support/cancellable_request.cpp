#include "support/cancellable_request.h"

#include <utility>

namespace vl {

bool CancellableRequest::Attach(HINTERNET request)
{
    // Closed on the way out when the request was given up already.
    UniqueInternetHandle attached(request);
    CriticalSectionLock lock(m_lock);
    if (!m_cancelled) m_handle = std::move(attached);
    return m_handle.valid();
}

void CancellableRequest::Cancel()
{
    // Closed outside the lock: the call that this ends takes it on its way out.
    UniqueInternetHandle ended;
    CriticalSectionLock lock(m_lock);
    m_cancelled = true;
    if (m_inCall) ended = std::move(m_handle);
}

void CancellableRequest::Close()
{
    CriticalSectionLock lock(m_lock);
    m_handle.reset();
}

} // namespace vl
