#include "event_sink.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "com_new.h"

namespace vl::pagehost {

namespace {

struct EventName {
    DISPID id;
    const wchar_t* name;
};

constexpr EventName kEventNames[] = {
#define VL_EVENT(id, Name, result, params) {vl::event_dispid::Name, L"" #Name},
    VL_EVENTS
#undef VL_EVENT
};

const wchar_t* EventNameOf(DISPID id)
{
    const auto it = std::find_if(std::begin(kEventNames), std::end(kEventNames),
                                 [&](const EventName& e) { return e.id == id; });
    return it == std::end(kEventNames) ? nullptr : it->name;
}

// An event argument as a script takes it: by value, numbers as 32-bit integers or doubles.
void ToScriptValue(VARIANT& source, VARIANT& target)
{
    if (FAILED(::VariantCopyInd(&target, &source))) return;
    HRESULT hr = S_OK;
    switch (V_VT(&target)) {
    case VT_UI4:
    case VT_UINT:
        hr = ::VariantChangeType(&target, &target, 0, V_UI4(&target) > INT_MAX ? VT_R8 : VT_I4);
        break;
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_INT:
        hr = ::VariantChangeType(&target, &target, 0, VT_I4);
        break;
    default:
        break;
    }
    if (FAILED(hr)) ::VariantClear(&target);
}

// The converted arguments of one event, and the way back to its reference arguments.
class ScriptArguments {
public:
    explicit ScriptArguments(const DISPPARAMS& source) : m_source(source), m_values(source.cArgs)
    {
        for (VARIANT& value : m_values) ::VariantInit(&value);
        for (UINT i = 0; i < source.cArgs; ++i) ToScriptValue(source.rgvarg[i], m_values[i]);
        m_params.rgvarg = m_values.data();
        m_params.cArgs = source.cArgs;
    }
    ~ScriptArguments()
    {
        for (VARIANT& value : m_values) ::VariantClear(&value);
    }
    ScriptArguments(const ScriptArguments&) = delete;
    ScriptArguments& operator=(const ScriptArguments&) = delete;

    DISPPARAMS& Params() { return m_params; }

    // Stores a handler's return value behind the event's integer reference arguments.
    void WriteBack(VARIANT& value) const
    {
        if (V_VT(&value) == VT_EMPTY) return;
        for (UINT i = 0; i < m_source.cArgs; ++i) {
            const VARIANT& argument = m_source.rgvarg[i];
            UniqueVariant converted;
            if (V_VT(&argument) == (VT_BYREF | VT_I2) && V_I2REF(&argument) &&
                SUCCEEDED(::VariantChangeType(converted.get(), &value, 0, VT_I4)))
                *V_I2REF(&argument) = static_cast<SHORT>(V_I4(converted.get()));
            else if (V_VT(&argument) == (VT_BYREF | VT_I4) && V_I4REF(&argument) &&
                     SUCCEEDED(::VariantChangeType(converted.get(), &value, 0, VT_I4)))
                *V_I4REF(&argument) = V_I4(converted.get());
        }
    }

private:
    const DISPPARAMS& m_source;
    std::vector<VARIANT> m_values;
    DISPPARAMS m_params{};
};

} // namespace

EventSink::EventSink(std::shared_ptr<EventHandlers> handlers) : m_handlers(std::move(handlers)) {}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                               UINT*)
{
    if (!params) return E_INVALIDARG;
    return CatchReturnHresult([&] { return Raise(id, *params, result); });
}

HRESULT EventSink::Raise(DISPID id, const DISPPARAMS& params, VARIANT* result)
{
    if (result) ::VariantInit(result);
    const wchar_t* name = EventNameOf(id);
    if (!name) return S_OK;
    ScriptArguments arguments(params);
    // A failing handler is the page's error, reported and counted by the script host;
    // the control raising the event is not told.
    m_handlers->Raise(name, arguments.Params(), [&](VARIANT& value) {
        arguments.WriteBack(value);
        if (result) ::VariantCopy(result, &value);
    });
    return S_OK;
}

STDMETHODIMP EventSink::OnChanged(DISPID id)
{
    return CatchReturnHresult([&] {
        VARIANTARG argument;
        V_VT(&argument) = VT_I4;
        V_I4(&argument) = id;
        DISPPARAMS params{&argument, nullptr, 1, 0};
        m_handlers->Raise(L"OnChanged", params, [](VARIANT&) {});
        return S_OK;
    });
}

HRESULT EventConnection::Connect(IUnknown* source, IUnknown* sink, REFIID iid)
{
    ComPtr<IConnectionPointContainer> container;
    if (!source || FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.put_void())))
        return CONNECT_E_NOCONNECTION;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = container->FindConnectionPoint(iid, point.put());
    if (FAILED(hr)) return hr;
    DWORD cookie = 0;
    hr = point->Advise(sink, &cookie);
    if (FAILED(hr)) return hr;
    Disconnect();
    m_point = point;
    m_cookie = cookie;
    return S_OK;
}

void EventConnection::Disconnect()
{
    if (m_point) m_point->Unadvise(m_cookie);
    m_point.reset();
    m_cookie = 0;
}

} // namespace vl::pagehost
