#include "support/portable/reparse_point.h"

namespace vl {

namespace {

constexpr std::uint32_t kReparsePointAttribute = 0x400; // FILE_ATTRIBUTE_REPARSE_POINT
constexpr std::uint32_t kNameSurrogateBit = 0x20000000; // what IsReparseTagNameSurrogate tests

} // namespace

bool IsLinkEntry(std::uint32_t attributes, std::uint32_t reparseTag)
{
    return (attributes & kReparsePointAttribute) != 0 && (reparseTag & kNameSurrogateBit) != 0;
}

} // namespace vl
