#include "control_instance.h"

#include "control/VLServiceAdapterImpl.h"
#include "com_module.h"
#include "com_server/com_object.h"
#include "product_state.h"
#include "test_control.h"

namespace vl::test {

vl::ComPtr<IVLServiceAdapterX> NewControlInstance()
{
    static const bool resources = (UseBuiltModuleResources(ModulePath()), true);
    (void)resources;
    void* out = nullptr;
    if (FAILED(vl::CreateComInstance<TVLServiceAdapterXImpl>(nullptr, IID_IVLServiceAdapterX, &out))) return nullptr;
    return vl::ComPtr<IVLServiceAdapterX>::Adopt(static_cast<IVLServiceAdapterX*>(out));
}

TVLServiceAdapterX& FormOf(IVLServiceAdapterX* control)
{
    return static_cast<TVLServiceAdapterXImpl*>(control)->Form();
}

vl::ComPtr<IStream> MemoryStream(const std::string& bytes)
{
    vl::ComPtr<IStream> stream;
    EXPECT_HRESULT_SUCCEEDED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    if (!stream) return stream;
    ULONG written = 0;
    EXPECT_HRESULT_SUCCEEDED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written));
    const LARGE_INTEGER start{};
    EXPECT_HRESULT_SUCCEEDED(stream->Seek(start, STREAM_SEEK_SET, nullptr));
    return stream;
}

std::string StreamBytes(IStream* stream)
{
    HGLOBAL memory = nullptr;
    STATSTG status{};
    if (FAILED(::GetHGlobalFromStream(stream, &memory)) || FAILED(stream->Stat(&status, STATFLAG_NONAME))) return {};
    const auto* bytes = static_cast<const char*>(::GlobalLock(memory));
    std::string copy(bytes, static_cast<std::size_t>(status.cbSize.QuadPart));
    ::GlobalUnlock(memory);
    return copy;
}

std::wstring TakeErrorDescription()
{
    vl::ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.put()) != S_OK || !info) return {};
    vl::UniqueBstr description;
    info->GetDescription(description.put());
    return description.str();
}

void ControlInstanceTest::SetUp()
{
    ResetProductState();
    control = NewControlInstance();
    ASSERT_TRUE(control);
}

void ControlInstanceTest::TearDown()
{
    control.reset();
    ResetProductState();
}

} // namespace vl::test
