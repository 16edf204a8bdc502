#include "event_recorder.h"

#include "com_server/com_object.h"

namespace vl::test {

struct EventRecorder::Sink final : vl::ComObjectImpl<Sink, IDispatch> {
    using Interfaces = vl::InterfaceList<vl::Interface<IDispatch>>;

    std::vector<RecordedEvent> events;
    std::function<void(const RecordedEvent&)> onResult;

    // The event interface is answered as IDispatch.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (out && ::IsEqualIID(iid, DIID_IVLServiceAdapterXEvents)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return ComObjectImpl::QueryInterface(iid, out);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override
    {
        RecordedEvent event;
        event.dispid = dispid;
        // Arguments come last first.
        if (dispid == vl::event_dispid::OnResult && params && params->cArgs == 3) {
            event.cmd = params->rgvarg[2].ulVal;
            event.serial = params->rgvarg[1].ulVal;
            event.params = vl::BstrText(params->rgvarg[0].bstrVal);
        }
        events.push_back(event);
        if (dispid == vl::event_dispid::OnResult && onResult) onResult(event);
        return S_OK;
    }
};

EventRecorder::EventRecorder()
{
    void* out = nullptr;
    vl::CreateComInstance<Sink>(nullptr, IID_IUnknown, &out);
    m_sink = static_cast<Sink*>(static_cast<IDispatch*>(static_cast<IUnknown*>(out)));
}

EventRecorder::~EventRecorder()
{
    Disconnect();
    static_cast<IDispatch*>(m_sink)->Release();
}

bool EventRecorder::Connect(IUnknown* control)
{
    vl::ComPtr<IConnectionPointContainer> container;
    if (FAILED(control->QueryInterface(IID_IConnectionPointContainer, container.put_void()))) return false;
    if (FAILED(container->FindConnectionPoint(DIID_IVLServiceAdapterXEvents, m_point.put()))) return false;
    return SUCCEEDED(m_point->Advise(static_cast<IDispatch*>(m_sink), &m_cookie));
}

void EventRecorder::Disconnect()
{
    if (m_point && m_cookie) m_point->Unadvise(m_cookie);
    m_cookie = 0;
    m_point.reset();
}

const std::vector<RecordedEvent>& EventRecorder::Events() const
{
    return m_sink->events;
}

std::vector<RecordedEvent> EventRecorder::Results() const
{
    std::vector<RecordedEvent> results;
    for (const auto& event : m_sink->events)
        if (event.dispid == vl::event_dispid::OnResult) results.push_back(event);
    return results;
}

void EventRecorder::Clear()
{
    m_sink->events.clear();
}

void EventRecorder::OnResult(std::function<void(const RecordedEvent&)> handler)
{
    m_sink->onResult = std::move(handler);
}

} // namespace vl::test
