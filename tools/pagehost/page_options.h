// The command line of the page host:
//   pagehost.exe --url <page address> --script <file.js>
//                [--progid VLServiceAdapter.VLServiceAdapterX] [--name control]
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
};

// The options of `arguments` (without the program name); none when one is unknown,
// lacks its value, or --url or --script is missing.
std::optional<PageOptions> ParsePageOptions(const std::vector<std::wstring>& arguments);

extern const wchar_t kPageUsage[];

} // namespace vl::pagehost
