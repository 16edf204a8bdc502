// Who signed an executable, and whether the file is still what was signed.
#pragma once

#include <windows.h>

#include <string>

namespace vl {

inline constexpr wchar_t kPublisherName[] = L"Torvane CO.,LTD.";

// True when the embedded Authenticode signature of the file open in `file` (for reading;
// `path` is its name) names as its first signer the maker's certificate (serial text
// VL_PUBLISHER_SERIAL, display name kPublisherName), that certificate chains to a root the
// machine trusts, its key made the signature, and the file's contents match the signature.
// Everything is read through the handle, nothing by the path. Validity periods,
// revocation and time stamps are not examined.
bool VerifyPublisherSignature(HANDLE file, const std::wstring& path);

} // namespace vl
