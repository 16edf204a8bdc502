// Who signed an executable, and whether the file is still what was signed.
#pragma once

#include <string>

namespace vl {

inline constexpr wchar_t kPublisherName[] = L"Torvane CO.,LTD.";

// True when the file's embedded Authenticode signature names as its first signer the
// maker's certificate (serial text VL_PUBLISHER_SERIAL, display name kPublisherName), that
// certificate chains to a root the machine trusts, and the file's contents match the
// signature. Validity periods, revocation and time stamps are not examined.
bool VerifyPublisherSignature(const std::wstring& path);

} // namespace vl
