#include "com_server/event_proxy.h"

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/connection_points.h"
#include "com_server/exception_boundary.h"
#include "com_server/service_adapter_form.h"

namespace {

// What a sink's failed call left in the exception record is ours to free.
void ClearExceptionInfo(EXCEPINFO& info)
{
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    info = EXCEPINFO{};
}

} // namespace

void CProxyIVLServiceAdapterXEvents::Raise(DISPID dispid, VARIANTARG* arguments, UINT count, VARIANT* result)
{
    vl::ComPtr<vl::EventConnectionPoint> point(EventSinks());
    if (!point) return;
    for (std::size_t slot = 0; slot < vl::EventConnectionPoint::kSlotCount; ++slot) {
        // Read when reached and held for the call: a handler may disconnect it.
        vl::ComPtr<IDispatch> sink = point->SinkAt(slot);
        if (!sink) continue;
        DISPPARAMS parameters{arguments, nullptr, count, 0};
        EXCEPINFO info{};
        UINT argumentError = 0;
        vl::CatchIgnore([&] {
            const HRESULT hr = sink->Invoke(dispid, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &parameters,
                                            result, &info, &argumentError);
            if (hr == DISP_E_EXCEPTION && info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        });
        ClearExceptionInfo(info);
        if (result) ::VariantClear(result);
    }
}

void CProxyIVLServiceAdapterXEvents::Fire_OnActivate() { Raise(vl::event_dispid::OnActivate, nullptr, 0, nullptr); }
void CProxyIVLServiceAdapterXEvents::Fire_OnClick() { Raise(vl::event_dispid::OnClick, nullptr, 0, nullptr); }
void CProxyIVLServiceAdapterXEvents::Fire_OnCreate() { Raise(vl::event_dispid::OnCreate, nullptr, 0, nullptr); }
void CProxyIVLServiceAdapterXEvents::Fire_OnDblClick() { Raise(vl::event_dispid::OnDblClick, nullptr, 0, nullptr); }
void CProxyIVLServiceAdapterXEvents::Fire_OnDestroy() { Raise(vl::event_dispid::OnDestroy, nullptr, 0, nullptr); }
void CProxyIVLServiceAdapterXEvents::Fire_OnDeactivate()
{
    Raise(vl::event_dispid::OnDeactivate, nullptr, 0, nullptr);
}
void CProxyIVLServiceAdapterXEvents::Fire_OnMouseEnter()
{
    Raise(vl::event_dispid::OnMouseEnter, nullptr, 0, nullptr);
}
void CProxyIVLServiceAdapterXEvents::Fire_OnMouseLeave()
{
    Raise(vl::event_dispid::OnMouseLeave, nullptr, 0, nullptr);
}
void CProxyIVLServiceAdapterXEvents::Fire_OnPaint() { Raise(vl::event_dispid::OnPaint, nullptr, 0, nullptr); }

void CProxyIVLServiceAdapterXEvents::Fire_OnKeyPress(short* Key)
{
    VARIANTARG argument;
    ::VariantInit(&argument);
    argument.vt = VT_BYREF | VT_I2;
    argument.piVal = Key;
    Raise(vl::event_dispid::OnKeyPress, &argument, 1, nullptr);
}

void CProxyIVLServiceAdapterXEvents::Fire_OnResult(ULONG dwCmd, ULONG dwSerialNum, BSTR szParams)
{
    // Last parameter first.
    VARIANTARG arguments[3];
    for (VARIANTARG& argument : arguments) ::VariantInit(&argument);
    arguments[0].vt = VT_BSTR;
    arguments[0].bstrVal = szParams;
    arguments[1].vt = VT_UI4;
    arguments[1].ulVal = dwSerialNum;
    arguments[2].vt = VT_UI4;
    arguments[2].ulVal = dwCmd;
    VARIANT result;
    ::VariantInit(&result);
    Raise(vl::event_dispid::OnResult, arguments, 3, &result);
}

namespace vl {

void RelayFormEvents(TVLServiceAdapterX& form, CProxyIVLServiceAdapterXEvents& events)
{
    form.OnActivate = [&events] { events.Fire_OnActivate(); };
    form.OnClick = [&events] { events.Fire_OnClick(); };
    form.OnCreate = [&events] { events.Fire_OnCreate(); };
    form.OnDblClick = [&events] { events.Fire_OnDblClick(); };
    form.OnDestroy = [&events] { events.Fire_OnDestroy(); };
    form.OnDeactivate = [&events] { events.Fire_OnDeactivate(); };
    form.OnKeyPress = [&events](char& key) {
        short value = static_cast<signed char>(key);
        events.Fire_OnKeyPress(&value);
        key = static_cast<char>(value & 0xFF);
    };
    form.OnMouseEnter = [&events] { events.Fire_OnMouseEnter(); };
    form.OnMouseLeave = [&events] { events.Fire_OnMouseLeave(); };
    form.OnPaint = [&events] { events.Fire_OnPaint(); };
}

} // namespace vl
