// Names of the kernel pipes.
#pragma once

#include <cstdint>
#include <string>

namespace vl {

inline constexpr const wchar_t* kKernelMainPipeName = L"\\\\.\\pipe\\VLKernelMainPipe";

// The pair of one link, named by its pipe number written as unsigned decimal.
std::wstring ReadPipeName(std::uint32_t pipeId);  // kernel to adapter
std::wstring WritePipeName(std::uint32_t pipeId); // adapter to kernel
// The parameters of the pipe-name notice on the main pipe.
std::wstring PipeIdNotice(std::uint32_t pipeId);

} // namespace vl
