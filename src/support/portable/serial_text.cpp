#include "support/portable/serial_text.h"

namespace vl {

std::wstring FormatSerialText(const unsigned char* bytes, std::size_t count)
{
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(count * 3);
    for (std::size_t i = count; i-- > 0;) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0f];
        text += L' ';
    }
    return text;
}

} // namespace vl
