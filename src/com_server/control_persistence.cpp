// Persistence of the form's properties: IPersistStreamInit, and IPersistStorage on a
// stream named "Contents".
#include "com_server/service_adapter_control.h"

HRESULT TVLServiceAdapterXControl::GetClassID(CLSID* clsid)
{
    if (!clsid) return E_POINTER;
    *clsid = CLSID_VLServiceAdapterX;
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::IsDirty()
{
    return m_bModified ? S_OK : S_FALSE;
}

HRESULT TVLServiceAdapterXControl::InitNew()
{
    return S_OK;
}

// Not implemented yet.
HRESULT TVLServiceAdapterXControl::Load(LPSTREAM)
{
    return E_NOTIMPL;
}

// Not implemented yet.
HRESULT TVLServiceAdapterXControl::Save(LPSTREAM, BOOL)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::GetSizeMax(ULARGE_INTEGER*)
{
    return E_NOTIMPL;
}

HRESULT TVLServiceAdapterXControl::InitNew(IStorage*)
{
    return InitNew();
}

HRESULT TVLServiceAdapterXControl::Load(IStorage* storage)
{
    if (!storage) return E_POINTER;
    vl::ComPtr<IStream> stream;
    const HRESULT hr = storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.put());
    if (FAILED(hr)) return hr;
    return Load(stream.get());
}

HRESULT TVLServiceAdapterXControl::Save(IStorage* storage, BOOL)
{
    if (!storage) return E_POINTER;
    vl::ComPtr<IStream> stream;
    const HRESULT hr = storage->CreateStream(L"Contents", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                             stream.put());
    if (FAILED(hr)) return hr;
    return Save(stream.get(), TRUE);
}

HRESULT TVLServiceAdapterXControl::SaveCompleted(IStorage*)
{
    return S_OK;
}

HRESULT TVLServiceAdapterXControl::HandsOffStorage()
{
    return S_OK;
}
