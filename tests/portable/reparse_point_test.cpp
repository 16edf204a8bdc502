#include "support/portable/reparse_point.h"

#include <gtest/gtest.h>

using namespace vl;

TEST(ReparsePoint, OnlyNameSurrogatesAreLinks)
{
    constexpr std::uint32_t kReparsePoint = 0x400, kFolder = 0x10, kPlain = 0x80;
    const struct {
        const char* what;
        std::uint32_t attributes, tag;
        bool link;
    } cases[] = {
        {"symbolic link", kReparsePoint, 0xA000000C, true},
        {"junction", kReparsePoint | kFolder, 0xA0000003, true},
        // A reparse point that stands for no other name: a sync client's placeholder.
        {"cloud file", kReparsePoint, 0x9000001A, false},
        // A tag is read only where the entry is a reparse point at all.
        {"no reparse point, a stale tag", kPlain, 0xA000000C, false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsLinkEntry(c.attributes, c.tag), c.link) << c.what;
}
