#include "support/portable/serial_text.h"

#include <gtest/gtest.h>

using namespace vl;

TEST(SerialText, WritesTheMostSignificantByteFirstInLowerCase)
{
    // Stored least significant first, as the platform keeps a certificate's serial.
    const unsigned char stored[] = {0xe3, 0x25, 0xb7, 0x0a, 0x00, 0x3f};
    EXPECT_EQ(FormatSerialText(stored, sizeof stored), L"3f 00 0a b7 25 e3 ");
    EXPECT_EQ(FormatSerialText(stored, 0), L"");
}
