// The two ends of event raising for tests: the control's side (a connection point
// container with the raising operations) and a page's sink whose answers a test scripts.
#pragma once

#include <functional>
#include <vector>

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/com_object.h"
#include "com_server/connection_points.h"
#include "com_server/event_proxy.h"

namespace vl::test {

// The control's side: its IConnectionPointContainer forwards to the connection points,
// and the Fire_ operations raise on the event point.
class TestEventSource final : public ComObjectImpl<TestEventSource, IConnectionPointContainer>,
                              public CProxyIVLServiceAdapterXEvents {
public:
    using Interfaces = InterfaceList<Interface<IConnectionPointContainer>>;

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    ConnectionPoints connectionPoints{this};

private:
    EventConnectionPoint* EventSinks() override { return &connectionPoints.Events(); }
};

// What a scripted sink saw of one call.
struct SinkCall {
    int sink;
    DISPID dispid;
    IID iid;
    LCID locale;
    WORD flags;
    std::vector<VARIANTARG> arguments; // as passed, last parameter first; not owned
    UINT namedArguments;
    bool withResult;
    bool withArgumentError;
};

// A page's sink for the event interface: appends each call to a log (shared by several
// sinks, to see their order), then answers with `action` (S_OK without one).
class ScriptedSink final : public ComObjectImpl<ScriptedSink, IDispatch> {
public:
    using Interfaces = InterfaceList<Interface<IDispatch>>;

    ScriptedSink(int id, std::vector<SinkCall>& log) : m_id(id), m_log(log) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* info, UINT* argumentError) override;

    // The references held on the sink now.
    ULONG References();

    std::function<HRESULT(DISPPARAMS*, EXCEPINFO*)> action;

private:
    int m_id;
    std::vector<SinkCall>& m_log;
};

} // namespace vl::test
