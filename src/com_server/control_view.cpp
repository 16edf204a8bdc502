// TVLServiceAdapterXControl's view: IViewObject, IViewObject2 and IViewObjectEx.
#include "com_server/control_geometry.h"
#include "com_server/exception_boundary.h"
#include "com_server/service_adapter_control.h"
#include "com_server/service_adapter_form.h"

using vl::CatchReturnHresult;
using vl::ComPtr;

void TVLServiceAdapterXControl::HandOutViewChange()
{
    ComPtr<IAdviseSink> sink = m_viewSink;
    if (!sink) return;
    if (m_viewSinkFlags & ADVF_ONLYONCE) m_viewSink.reset();
    sink->OnViewChange(DVASPECT_CONTENT, -1);
}

// ---------------------------------------------------------------------------------------
// IViewObject, IViewObject2, IViewObjectEx

HRESULT TVLServiceAdapterXControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc, LPCRECTL bounds,
                                        LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_OPAQUE && aspect != DVASPECT_TRANSPARENT)
        return DV_E_DVASPECT;
    if (!drawDc || !bounds) return E_INVALIDARG;
    return CatchReturnHresult([&] {
        // The form paints itself into a bitmap of its own size, which is then stretched
        // into the caller's rectangle (a print preview or a metafile may differ in scale).
        HWND window = m_form->Window();
        const RECT size = vl::WindowSize(window);
        if (size.right <= 0 || size.bottom <= 0) return S_OK;
        vl::UniqueScreenDc screen(::GetDC(nullptr));
        vl::UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
        vl::UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.get(), size.right, size.bottom));
        if (!memory || !bitmap) return E_OUTOFMEMORY;
        HGDIOBJ previous = ::SelectObject(memory.get(), bitmap.get());
        ::SendMessageW(window, WM_PRINT, reinterpret_cast<WPARAM>(memory.get()),
                       PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
        ::StretchBlt(drawDc, bounds->left, bounds->top, bounds->right - bounds->left, bounds->bottom - bounds->top,
                     memory.get(), 0, 0, size.right, size.bottom, SRCCOPY);
        ::SelectObject(memory.get(), previous);
        return S_OK;
    });
}

HRESULT TVLServiceAdapterXControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colorSet)
{
    if (colorSet) *colorSet = nullptr;
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::Freeze(DWORD, LONG, void*, DWORD*)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::Unfreeze(DWORD)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    m_viewSink = ComPtr<IAdviseSink>(sink);
    m_viewSinkAspects = aspects;
    m_viewSinkFlags = flags;
    if (sink && (flags & ADVF_PRIMEFIRST)) HandOutViewChange();
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects) *aspects = m_viewSinkAspects;
    if (flags) *flags = m_viewSinkFlags;
    if (sink) m_viewSink.CopyTo(sink);
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

HRESULT TVLServiceAdapterXControl::GetRect(DWORD, LPRECTL)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::GetViewStatus(DWORD* status)
{
    if (!status) return E_POINTER;
    *status = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG, DWORD* hitResult)
{
    if (!bounds || !hitResult) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    *hitResult = ::PtInRect(bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG,
                                                DWORD* hitResult)
{
    if (!bounds || !location || !hitResult) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    RECT overlap{};
    *hitResult = ::IntersectRect(&overlap, bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL)
{
    return E_NOTIMPL;
}
