#include "event_source.h"

namespace vl::test {

STDMETHODIMP TestEventSource::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    return connectionPoints.EnumConnectionPoints(points);
}

STDMETHODIMP TestEventSource::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    return connectionPoints.FindConnectionPoint(iid, point);
}

// The event interface is a dispatch interface: it is answered as IDispatch.
STDMETHODIMP ScriptedSink::QueryInterface(REFIID iid, void** out)
{
    if (out && ::IsEqualIID(iid, DIID_IVLServiceAdapterXEvents)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return ComObjectImpl::QueryInterface(iid, out);
}

STDMETHODIMP ScriptedSink::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

STDMETHODIMP ScriptedSink::Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* info, UINT* argumentError)
{
    SinkCall call{m_id, dispid, iid, locale, flags, {}, 0, result != nullptr, argumentError != nullptr};
    if (params) {
        call.arguments.assign(params->rgvarg, params->rgvarg + params->cArgs);
        call.namedArguments = params->cNamedArgs;
    }
    m_log.push_back(std::move(call));
    return action ? action(params, info) : S_OK;
}

ULONG ScriptedSink::References()
{
    AddRef();
    return Release();
}

} // namespace vl::test
