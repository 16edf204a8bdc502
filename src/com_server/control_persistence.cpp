// Persistence of the form's properties: IPersistStreamInit, and IPersistStorage on a
// stream named "Contents". The stream holds the form's record in the component stream
// format, with the properties that differ from the form's definition.
#include "com_server/service_adapter_control.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "com_server/exception_boundary.h"
#include "com_server/portable/component_stream.h"
#include "com_server/service_adapter_form.h"
#include "support/ansi_text.h"

namespace {

constexpr ULONG kBufferSize = 4096;
// A saved form takes a few hundred bytes. The stream comes from the page, so a record
// that has not ended within this much is refused instead of being read on.
constexpr std::size_t kMaxRecordSize = 1024 * 1024;

// Persistence failures carry no interface in their error information.
HRESULT ReportFailure(const std::wstring& description)
{
    return vl::ReportException(GUID_NULL, description);
}

HRESULT ReportStreamFailure(const wchar_t* what, HRESULT hr)
{
    wchar_t code[16];
    std::swprintf(code, std::size(code), L"%08lX", static_cast<unsigned long>(hr));
    return ReportFailure(std::wstring(what) + L" (0x" + code + L")");
}

// The stream from its position on, at most kMaxRecordSize bytes, read kBufferSize bytes
// at a time.
HRESULT ReadBounded(IStream& stream, std::vector<std::uint8_t>& bytes)
{
    std::array<std::uint8_t, kBufferSize> buffer;
    while (bytes.size() < kMaxRecordSize) {
        const ULONG wanted = static_cast<ULONG>(std::min<std::size_t>(kBufferSize, kMaxRecordSize - bytes.size()));
        ULONG got = 0;
        const HRESULT hr = stream.Read(buffer.data(), wanted, &got);
        if (FAILED(hr)) return hr;
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + std::min(got, wanted));
        if (got < wanted) break;
    }
    return S_OK;
}

HRESULT WriteBuffered(IStream& stream, std::span<const std::uint8_t> bytes)
{
    for (std::size_t offset = 0; offset < bytes.size(); offset += kBufferSize) {
        const ULONG count = static_cast<ULONG>(std::min<std::size_t>(kBufferSize, bytes.size() - offset));
        ULONG written = 0;
        const HRESULT hr = stream.Write(bytes.data() + offset, count, &written);
        if (FAILED(hr)) return hr;
        if (written != count) return STG_E_MEDIUMFULL;
    }
    return S_OK;
}

} // namespace

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

// The form's properties change all together or not at all: a stream that fails to read or
// to apply leaves them as they were.
HRESULT TVLServiceAdapterXControl::Load(LPSTREAM stream)
{
    if (!stream) return E_POINTER;
    return vl::CatchReturnErrorInfo(GUID_NULL, [&] {
        std::vector<std::uint8_t> bytes;
        if (const HRESULT hr = ReadBounded(*stream, bytes); FAILED(hr))
            return ReportStreamFailure(L"Stream read error", hr);
        const auto parsed = vl::ReadComponentStream(bytes);
        if (!parsed) {
            if (bytes.size() >= kMaxRecordSize)
                return ReportFailure(L"The stream holds no form record within its first " +
                                     std::to_wstring(kMaxRecordSize) + L" bytes");
            return ReportFailure(vl::AnsiToWide(parsed.Error().Text()));
        }
        if (auto problem = m_form->LoadProperties(parsed->root)) return ReportFailure(*problem);
        // The container's own data may follow the record: leave the stream right after it.
        // A stream that cannot seek back stays where reading stopped.
        if (parsed->consumed < bytes.size()) {
            LARGE_INTEGER back{};
            back.QuadPart = -static_cast<LONGLONG>(bytes.size() - parsed->consumed);
            stream->Seek(back, STREAM_SEEK_CUR, nullptr);
        }
        return S_OK;
    });
}

// Saving leaves the modified flag alone, whatever `clearDirty` asks.
HRESULT TVLServiceAdapterXControl::Save(LPSTREAM stream, BOOL)
{
    if (!stream) return E_POINTER;
    return vl::CatchReturnErrorInfo(GUID_NULL, [&] {
        const auto bytes = vl::WriteComponentStream(m_form->SaveRecord());
        if (!bytes) return ReportFailure(vl::AnsiToWide(bytes.Error().Text()));
        if (const HRESULT hr = WriteBuffered(*stream, *bytes); FAILED(hr))
            return ReportStreamFailure(L"Stream write error", hr);
        return S_OK;
    });
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
