// Which reparse points are links. A reparse point whose tag is a name surrogate (symbolic
// link, junction, the Linux subsystem's link) stands for another name; others (cloud
// files, deduplicated or compressed files, app-execution aliases) are the entry itself,
// whose data the system fetches or rebuilds on reading.
#pragma once

#include <cstdint>

namespace vl {

// Whether an entry opened as itself, with these attributes and this reparse tag, is a link.
bool IsLinkEntry(std::uint32_t attributes, std::uint32_t reparseTag);

} // namespace vl
