// Puts a fetched kernel in place as the home folder's VLWidgetKernel.exe.
#pragma once

#include <string>

namespace vl {

// The file is staged beside the kernel and checked first: it must carry a version
// resource of at least `requiredVersion`. Empty on success, else the reason; a failed
// install leaves the present kernel as it was.
std::wstring InstallKernel(const std::string& bytes, const std::wstring& requiredVersion);

} // namespace vl
