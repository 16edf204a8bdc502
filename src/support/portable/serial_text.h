// The text form of a certificate serial number, as the expected publisher serial is written.
#pragma once

#include <cstddef>
#include <string>

namespace vl {

// Each byte as "%02x" and one blank, most significant first. The platform stores serial
// numbers least significant byte first, which is the order `bytes` is given in.
std::wstring FormatSerialText(const unsigned char* bytes, std::size_t count);

} // namespace vl
