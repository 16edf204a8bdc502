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
        // Cloud files: placeholders of a sync client, files and folders.
        {"cloud file", kReparsePoint, 0x9000001A, false},
        {"cloud folder, one of the sixteen cloud tags", kReparsePoint | kFolder, 0x9000F01A, false},
        {"deduplicated file", kReparsePoint, 0x80000013, false},
        {"app-execution alias", kReparsePoint, 0x8000001B, false},
        // A tag is read only where the entry is a reparse point at all.
        {"plain file", kPlain, 0, false},
        {"no reparse point, a stale tag", kPlain, 0xA000000C, false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsLinkEntry(c.attributes, c.tag), c.link) << c.what;
}
