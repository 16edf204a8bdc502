// The kernel file fetched over HTTP, on a direct connection.
#pragma once

#include <functional>
#include <string>

namespace vl {

struct DownloadResult {
    std::string bytes;
    std::wstring failure; // empty on success
};

// `progress` gets the percentage received whenever it grows; only when the server announces
// the length. A download that does not deliver the announced length fails.
DownloadResult DownloadFile(const std::wstring& url, const std::function<void(int)>& progress);

} // namespace vl
