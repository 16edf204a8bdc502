// TVLServiceAdapterXControl's data and quick activation: IDataObject (advise connections
// only) and IQuickActivate.
#include "com_server/advise_holders.h"
#include "com_server/exception_boundary.h"
#include "com_server/service_adapter_control.h"

using vl::CatchReturnHresult;
using vl::ComPtr;
using vl::EnumAdviseOf;
using vl::UnadviseFrom;

// ---------------------------------------------------------------------------------------
// IDataObject: the control offers no data formats, only the advise connections.

HRESULT TVLServiceAdapterXControl::GetData(FORMATETC*, STGMEDIUM*)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::GetDataHere(FORMATETC*, STGMEDIUM*)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::QueryGetData(FORMATETC*)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::SetData(FORMATETC*, STGMEDIUM*, BOOL)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::EnumFormatEtc(DWORD, IEnumFORMATETC** formats)
{
    if (formats) *formats = nullptr;
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection)
{
    if (!m_dataAdviseHolder) {
        const HRESULT hr = ::CreateDataAdviseHolder(m_dataAdviseHolder.put());
        if (FAILED(hr)) return hr;
    }
    IDataObject* self = this;
    return m_dataAdviseHolder->Advise(self, format, flags, sink, connection);
}

HRESULT TVLServiceAdapterXControl::DUnadvise(DWORD connection)
{
    return UnadviseFrom(m_dataAdviseHolder, connection);
}

HRESULT TVLServiceAdapterXControl::EnumDAdvise(IEnumSTATDATA** advise)
{
    return EnumAdviseOf(m_dataAdviseHolder, advise);
}

// ---------------------------------------------------------------------------------------
// IQuickActivate

HRESULT TVLServiceAdapterXControl::QuickActivate(QACONTAINER* container, QACONTROL* control)
{
    if (!container || !control) return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL)) return E_INVALIDARG;
    return CatchReturnHresult([&] {
        SetClientSite(container->pClientSite);
        if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
        control->dwEventCookie = 0;
        control->dwPropNotifyCookie = 0;
        ComPtr<IConnectionPoint> point;
        if (container->pUnkEventSink && SUCCEEDED(FindConnectionPoint(DIID_IVLServiceAdapterXEvents, point.put())))
            point->Advise(container->pUnkEventSink, &control->dwEventCookie);
        if (container->pPropertyNotifySink && SUCCEEDED(FindConnectionPoint(IID_IPropertyNotifySink, point.put())))
            point->Advise(container->pPropertyNotifySink, &control->dwPropNotifyCookie);
        GetMiscStatus(DVASPECT_CONTENT, &control->dwMiscStatus);
        GetViewStatus(&control->dwViewStatus);
        control->dwPointerActivationPolicy = 0;
        return S_OK;
    });
}

HRESULT TVLServiceAdapterXControl::SetContentExtent(LPSIZEL size)
{
    return SetExtent(DVASPECT_CONTENT, size);
}

HRESULT TVLServiceAdapterXControl::GetContentExtent(LPSIZEL size)
{
    return GetExtent(DVASPECT_CONTENT, size);
}
