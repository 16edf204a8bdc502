#include "kernel_link/portable/pipe_names.h"

namespace vl {

namespace {
std::wstring PairName(std::uint32_t pipeId, const wchar_t* direction)
{
    return L"\\\\.\\pipe\\VLPipe_" + std::to_wstring(pipeId) + direction;
}
} // namespace

std::wstring ReadPipeName(std::uint32_t pipeId)
{
    return PairName(pipeId, L"_INBOUND");
}

std::wstring WritePipeName(std::uint32_t pipeId)
{
    return PairName(pipeId, L"_OUTBOUND");
}

std::wstring PipeIdNotice(std::uint32_t pipeId)
{
    return L"PipeID=" + std::to_wstring(pipeId);
}

} // namespace vl
