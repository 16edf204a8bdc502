// The command line of the page host:
//   pagehost.exe --url <page address> --script <file.js>
//                [--progid VLServiceAdapter.VLServiceAdapterX] [--name control]
//                [--caller trusted|untrusted]
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vl::pagehost {

struct PageOptions {
    std::wstring url;
    std::wstring script;
    std::wstring progid = L"VLServiceAdapter.VLServiceAdapterX";
    std::wstring name = L"control"; // the object's name in the script
    // As a browser for a web page: the object is told through IObjectSafety that untrusted
    // callers script it. Otherwise the host is a trusted local caller.
    bool untrustedCaller = false;
};

// The options of `arguments` (without the program name); none when one is unknown,
// lacks its value, or --url or --script is missing.
std::optional<PageOptions> ParsePageOptions(const std::vector<std::wstring>& arguments);

extern const wchar_t kPageUsage[];

} // namespace vl::pagehost
