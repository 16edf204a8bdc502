// The test network's patch server (tools/netns): tests declared with a line
//   // ctest-netns: <patch_server options>
// run where every host of the endpoint table is served from one folder, the patch root.
#pragma once

#include <string>
#include <vector>

namespace vl::test {

// The patch root; empty when the test does not run in the test network.
std::wstring PatchRoot();
// Places `bytes` where the server answers `url` (its path below the root, whatever the
// host); true when written.
bool PutPatchFile(const std::wstring& url, const std::string& bytes);
// Removes what PutPatchFile placed for `url`.
void RemovePatchFile(const std::wstring& url);
// The requests the server has received so far, one "METHOD path host" text each.
std::vector<std::string> PatchRequests();

} // namespace vl::test
