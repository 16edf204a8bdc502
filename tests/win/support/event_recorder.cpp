#include "event_recorder.h"

namespace vl::test {

EventRecorder::EventRecorder() : m_sink(new ScriptedSink(0, m_calls))
{
    m_sink->action = [this](DISPPARAMS* params, EXCEPINFO*) {
        Record(params);
        return S_OK;
    };
}

EventRecorder::~EventRecorder()
{
    Disconnect();
    m_sink->action = nullptr;
}

void EventRecorder::Record(DISPPARAMS* params)
{
    RecordedEvent event;
    event.dispid = m_calls.back().dispid;
    // Arguments come last first.
    if (event.dispid == vl::event_dispid::OnResult && params && params->cArgs == 3) {
        event.cmd = params->rgvarg[2].ulVal;
        event.serial = params->rgvarg[1].ulVal;
        event.params = vl::BstrText(params->rgvarg[0].bstrVal);
    }
    m_events.push_back(event);
    if (event.dispid == vl::event_dispid::OnResult && m_onResult) m_onResult(event);
}

bool EventRecorder::Connect(IUnknown* control)
{
    vl::ComPtr<IConnectionPointContainer> container;
    if (FAILED(control->QueryInterface(IID_IConnectionPointContainer, container.put_void()))) return false;
    if (FAILED(container->FindConnectionPoint(DIID_IVLServiceAdapterXEvents, m_point.put()))) return false;
    return SUCCEEDED(m_point->Advise(m_sink.get(), &m_cookie));
}

void EventRecorder::Disconnect()
{
    if (m_point && m_cookie) m_point->Unadvise(m_cookie);
    m_cookie = 0;
    m_point.reset();
}

const std::vector<RecordedEvent>& EventRecorder::Events() const
{
    return m_events;
}

std::vector<RecordedEvent> EventRecorder::Results() const
{
    std::vector<RecordedEvent> results;
    for (const auto& event : m_events)
        if (event.dispid == vl::event_dispid::OnResult) results.push_back(event);
    return results;
}

void EventRecorder::Clear()
{
    m_events.clear();
}

void EventRecorder::OnResult(std::function<void(const RecordedEvent&)> handler)
{
    m_onResult = std::move(handler);
}

} // namespace vl::test
