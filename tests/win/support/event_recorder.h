// A page's sink for the control's event interface that records every event it gets,
// and can run a handler inside OnResult (as a page script would).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "com_server/Vlserviceadapter_tlb.h"
#include "event_source.h"
#include "support/win_handles.h"

namespace vl::test {

struct RecordedEvent {
    DISPID dispid = 0;
    ULONG cmd = 0;
    ULONG serial = 0;
    std::wstring params;
};

class EventRecorder {
public:
    EventRecorder();
    ~EventRecorder();
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    // Connects to the event connection point of `control`; false when refused.
    bool Connect(IUnknown* control);
    void Disconnect();

    const std::vector<RecordedEvent>& Events() const;
    std::vector<RecordedEvent> Results() const; // the OnResult events only
    void Clear();
    // Runs inside every OnResult, after it is recorded.
    void OnResult(std::function<void(const RecordedEvent&)> handler);

private:
    void Record(DISPPARAMS* params);

    std::vector<SinkCall> m_calls;
    std::vector<RecordedEvent> m_events;
    std::function<void(const RecordedEvent&)> m_onResult;
    vl::ComPtr<ScriptedSink> m_sink;
    vl::ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};

} // namespace vl::test
