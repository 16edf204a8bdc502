// TVLServiceAdapterXControl: construction and the last release, the ambient properties,
// the connection points, error information, safety and the site of a script-made object.
// The other interface groups are in control_embedding.cpp (IOleObject, in-place
// activation, IOleControl), control_view.cpp (IViewObjectEx), control_data.cpp
// (IDataObject, IQuickActivate), control_dispatch.cpp (IDispatch, class information),
// control_persistence.cpp and control_properties.cpp.
#include "com_server/service_adapter_control.h"

#include <olectl.h>

#include "com_server/control_geometry.h"
#include "com_server/exception_boundary.h"
#include "com_server/server_module.h"
#include "com_server/service_adapter_form.h"

using vl::CatchReturnHresult;
using vl::ComPtr;
using vl::PixelsToHimetric;
using vl::WindowSize;

TVLServiceAdapterXControl::TVLServiceAdapterXControl()
{
    vl::Module().Lock();
}

TVLServiceAdapterXControl::~TVLServiceAdapterXControl()
{
    m_viewSink.reset();
    m_oleAdviseHolder.reset();
    m_dataAdviseHolder.reset();
    m_inPlaceUIWindow.reset();
    m_inPlaceFrame.reset();
    m_inPlaceSite.reset();
    m_clientSite.reset();
    m_objectSite.reset();
    m_form.reset();
    vl::Module().Unlock();
}

HRESULT TVLServiceAdapterXControl::FinalConstruct()
{
    return vl::CatchReturnErrorInfo(GUID_NULL, [&] {
        m_connectionPoints = std::make_unique<vl::ConnectionPoints>(static_cast<IConnectionPointContainer*>(this));
        std::wstring error;
        {
            vl::CriticalSectionLock lock(vl::Module().WindowCreationLock());
            m_form = TVLServiceAdapterX::Create(vl::Module().Instance(), error);
        }
        if (!m_form) return vl::ReportException(GUID_NULL, error);
        const RECT size = WindowSize(m_form->Window());
        m_extent = PixelsToHimetric(size.right, size.bottom);
        return InitializeControl();
    });
}

// The page hears the form's OnDestroy while its sinks are still connected and the whole
// instance stands; then the sinks are let go, before anything of the instance is taken
// down. A construction that failed may have left either missing.
void TVLServiceAdapterXControl::FinalRelease()
{
    // Runs inside Release: the page's handler may fail, but the sinks are let go either way.
    vl::CatchIgnore([&] {
        if (m_form) m_form->RaiseDestroy();
    });
    if (m_connectionPoints) m_connectionPoints->Disconnect();
}

vl::EventConnectionPoint* TVLServiceAdapterXControl::EventSinks()
{
    return m_connectionPoints ? &m_connectionPoints->Events() : nullptr;
}

HRESULT TVLServiceAdapterXControl::GetAmbientProperty(DISPID dispid, VARIANT* value)
{
    ::VariantInit(value);
    if (!m_clientSite) return E_UNEXPECTED;
    ComPtr<IDispatch> ambient;
    HRESULT hr = m_clientSite.As(ambient);
    if (FAILED(hr)) return hr;
    DISPPARAMS noArguments{};
    return ambient->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &noArguments, value, nullptr,
                           nullptr);
}

// ---------------------------------------------------------------------------------------
// ISupportErrorInfo, IObjectSafety

HRESULT TVLServiceAdapterXControl::InterfaceSupportsErrorInfo(REFIID iid)
{
    return !::IsEqualIID(iid, IID_IUnknown) && AnswersInterface(iid) ? S_OK : S_FALSE;
}

HRESULT TVLServiceAdapterXControl::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled)
{
    if (!supported || !enabled) return E_POINTER;
    ComPtr<IUnknown> answered;
    const HRESULT hr = ControllingUnknown()->QueryInterface(iid, answered.put_void());
    if (FAILED(hr)) {
        *supported = 0;
        *enabled = 0;
        return hr;
    }
    *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
    *enabled = m_safetyOptions;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled)
{
    ComPtr<IUnknown> answered;
    if (FAILED(ControllingUnknown()->QueryInterface(iid, answered.put_void()))) return E_NOINTERFACE;
    if (mask & ~DWORD{INTERFACESAFE_FOR_UNTRUSTED_CALLER}) return E_FAIL;
    m_safetyOptions = (m_safetyOptions & ~mask) | (enabled & mask);
    if (m_safetyOptions & INTERFACESAFE_FOR_UNTRUSTED_CALLER) m_untrustedCallers = true;
    return S_OK;
}

// ---------------------------------------------------------------------------------------
// IObjectWithSite

HRESULT TVLServiceAdapterXControl::SetSite(IUnknown* site)
{
    m_objectSite = ComPtr<IUnknown>(site);
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::GetSite(REFIID iid, void** site)
{
    if (!site) return E_POINTER;
    *site = nullptr;
    return m_objectSite ? m_objectSite->QueryInterface(iid, site) : E_FAIL;
}

// ---------------------------------------------------------------------------------------
// IConnectionPointContainer

HRESULT TVLServiceAdapterXControl::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    return CatchReturnHresult([&] { return m_connectionPoints->EnumConnectionPoints(points); });
}

HRESULT TVLServiceAdapterXControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    return CatchReturnHresult([&] { return m_connectionPoints->FindConnectionPoint(iid, point); });
}
