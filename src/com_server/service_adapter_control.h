// TVLServiceAdapterXControl: the COM side of one control instance. It answers the OLE
// control interfaces of an in-place-activating windowed control, IDispatch from the
// registered type library, the connection points, safety and error-information queries,
// the site of an object that page script created, the property members and persistence;
// it owns the form. The automation methods and the
// control initialization are the concrete class's.
#pragma once

#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <memory>

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/com_object.h"
#include "com_server/connection_points.h"
#include "com_server/event_proxy.h"
#include "support/win_handles.h"

__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64)

class TVLServiceAdapterX;

class TVLServiceAdapterXControl
    : public vl::ComObjectImpl<TVLServiceAdapterXControl, IViewObjectEx, IOleInPlaceObject, IOleInPlaceActiveObject,
                               IOleControl, IOleObject, IQuickActivate, IPersistStorage, IPersistStreamInit,
                               ISpecifyPropertyPages, IDataObject, ISimpleFrameSite, IProvideClassInfo2,
                               IConnectionPointContainer, ISupportErrorInfo, IVLServiceAdapterX, IObjectSafety,
                               IObjectWithSite>,
      public CProxyIVLServiceAdapterXEvents {
public:
    // In this order; the first is the identity. Nothing else is answered.
    using Interfaces = vl::InterfaceList<
        vl::Interface<IViewObjectEx>, vl::Interface<IViewObject2, IViewObjectEx>,
        vl::Interface<IViewObject, IViewObjectEx>, vl::Interface<IOleInPlaceObject>,
        vl::Interface<IOleWindow, IOleInPlaceObject>, vl::Interface<IOleInPlaceActiveObject>,
        vl::Interface<IOleControl>, vl::Interface<IOleObject>, vl::Interface<IQuickActivate>,
        vl::Interface<IPersistStorage>, vl::Interface<IPersistStreamInit>, vl::Interface<ISpecifyPropertyPages>,
        vl::Interface<IDataObject>, vl::Interface<ISimpleFrameSite>,
        vl::Interface<IProvideClassInfo, IProvideClassInfo2>, vl::Interface<IProvideClassInfo2>,
        vl::Interface<IConnectionPointContainer>, vl::Interface<ISupportErrorInfo>,
        vl::Interface<IVLServiceAdapterX>, vl::Interface<IDispatch, IVLServiceAdapterX>,
        vl::Interface<IObjectSafety>, vl::Interface<IObjectWithSite>>;

    // Final construction: creates the connection points and the form, then runs
    // InitializeControl. A failure (or an exception, reported as error information)
    // destroys the new instance.
    HRESULT FinalConstruct();
    // The last reference is gone: raises the form's OnDestroy, then releases the sinks.
    void FinalRelease();

    // --- IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index, HWND parent,
                        LPCRECT posRect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* userType) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // --- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT posRect, LPCRECT clipRect) override;
    STDMETHODIMP ReactivateAndUndo() override;
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* uiWindow, BOOL frameWindow) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // --- IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID dispid) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // --- IViewObject, IViewObject2, IViewObjectEx
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDevice,
                      HDC drawDc, LPCRECTL bounds, LPCRECTL windowBounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                      ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDevice,
                             LOGPALETTE** colorSet) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;
    STDMETHODIMP GetRect(DWORD aspect, LPRECTL rect) override;
    STDMETHODIMP GetViewStatus(DWORD* status) override;
    STDMETHODIMP QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG closeHint, DWORD* hitResult) override;
    STDMETHODIMP QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG closeHint,
                              DWORD* hitResult) override;
    STDMETHODIMP GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, HDC targetDevice,
                                  DVEXTENTINFO* extentInfo, LPSIZEL size) override;

    // --- IDataObject
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    STDMETHODIMP DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP DUnadvise(DWORD connection) override;
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** advise) override;

    // --- IQuickActivate
    STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    STDMETHODIMP SetContentExtent(LPSIZEL size) override;
    STDMETHODIMP GetContentExtent(LPSIZEL size) override;

    // --- ISimpleFrameSite
    STDMETHODIMP PreMessageFilter(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                                  DWORD* cookie) override;
    STDMETHODIMP PostMessageFilter(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                                   DWORD cookie) override;

    // --- ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // --- IProvideClassInfo, IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // --- IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // --- ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

    // --- IObjectSafety
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

    // --- IObjectWithSite: a browser sites an object that page script created (new
    // ActiveXObject) here rather than through IOleObject::SetClientSite.
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID iid, void** site) override;

    // --- IDispatch (from the registered type library)
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    // --- Persistence (control_persistence.cpp)
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew(IStorage* storage) override;
    STDMETHODIMP Load(IStorage* storage) override;
    STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage* storage) override;
    STDMETHODIMP HandsOffStorage() override;

    // --- Property members of IVLServiceAdapterX (control_properties.cpp)
#define VL_PUT_RW(Name, T) STDMETHODIMP put_##Name(T Value) override;
#define VL_PUT_RO(Name, T)
#define VL_PROPERTY(dispid, Name, T, access, hidden) \
    STDMETHODIMP get_##Name(T* Value) override;       \
    VL_PUT_##access(Name, T)
#define VL_FONT_PROPERTY(dispid, Name)                    \
    STDMETHODIMP get_##Name(IFontDisp** Value) override; \
    STDMETHODIMP put_##Name(IFontDisp* Value) override;  \
    STDMETHODIMP putref_##Name(IFontDisp** Value) override;
#define VL_METHOD(dispid, Name, params)
    VL_MEMBERS
#undef VL_PROPERTY
#undef VL_FONT_PROPERTY
#undef VL_METHOD
#undef VL_PUT_RW
#undef VL_PUT_RO

    // The automation methods of IVLServiceAdapterX stay pure: the concrete class has them.

    // The form exists from the final construction on.
    TVLServiceAdapterX& Form() const { return *m_form; }
    bool IsInPlaceActive() const { return m_inPlaceActive; }
    bool IsUIActive() const { return m_uiActive; }
    // True once the container has enabled INTERFACESAFE_FOR_UNTRUSTED_CALLER: a browser
    // lets a web page's script call the control. It stays so: the page may still hold it.
    bool HostsUntrustedCallers() const { return m_untrustedCallers; }

protected:
    TVLServiceAdapterXControl();
    ~TVLServiceAdapterXControl() override;

    // The concrete class's step after the form exists (the adapter's control
    // initialization); a failure destroys the new instance.
    virtual HRESULT InitializeControl() = 0;

    // An ambient property of the client site; fails when there is no site or it has none.
    HRESULT GetAmbientProperty(DISPID dispid, VARIANT* value);
    // Hands the container's changed ambient properties to the form (control_properties.cpp).
    HRESULT ApplyAmbientProperties(DISPID dispid);

    // The flag IsDirty reports.
    bool m_bModified = false;

private:
    vl::EventConnectionPoint* EventSinks() override;
    // One write of a property member: the property-change sinks' permission, `store`
    // (returning HRESULT), their change notice (control_properties.cpp).
    template <typename Store>
    HRESULT WriteProperty(DISPID dispid, Store&& store);
    HRESULT ActivateInPlace(bool uiActivate);
    HRESULT ShowProperties();
    bool AmbientUserMode();
    void HandOutViewChange();

    std::unique_ptr<TVLServiceAdapterX> m_form;
    std::unique_ptr<vl::ConnectionPoints> m_connectionPoints;
    vl::ComPtr<IOleClientSite> m_clientSite;
    vl::ComPtr<IUnknown> m_objectSite; // given through IObjectWithSite
    vl::ComPtr<IOleAdviseHolder> m_oleAdviseHolder;
    vl::ComPtr<IDataAdviseHolder> m_dataAdviseHolder;
    vl::ComPtr<IAdviseSink> m_viewSink;
    DWORD m_viewSinkAspects = 0;
    DWORD m_viewSinkFlags = 0;
    vl::ComPtr<IOleInPlaceSite> m_inPlaceSite;
    vl::ComPtr<IOleInPlaceFrame> m_inPlaceFrame;
    vl::ComPtr<IOleInPlaceUIWindow> m_inPlaceUIWindow;
    bool m_inPlaceActive = false;
    bool m_uiActive = false;
    SIZEL m_extent{}; // HIMETRIC
    LONG m_freezeCount = 0;
    DWORD m_safetyOptions = 0;
    bool m_untrustedCallers = false;
};
