#include "page_options.h"

namespace vl::pagehost {

const wchar_t kPageUsage[] =
    L"usage: pagehost.exe --url <page address> --script <file.js> [--progid <ProgID>] [--name <script name>]"
    L" [--caller trusted|untrusted]";

std::optional<PageOptions> ParsePageOptions(const std::vector<std::wstring>& arguments)
{
    PageOptions options;
    bool haveUrl = false;
    bool haveScript = false;
    for (std::size_t i = 0; i < arguments.size(); i += 2) {
        if (i + 1 >= arguments.size()) return std::nullopt;
        const std::wstring& option = arguments[i];
        const std::wstring& value = arguments[i + 1];
        if (option == L"--url") {
            options.url = value;
            haveUrl = true;
        } else if (option == L"--script") {
            options.script = value;
            haveScript = true;
        } else if (option == L"--progid") {
            options.progid = value;
        } else if (option == L"--name") {
            options.name = value;
        } else if (option == L"--caller" && (value == L"trusted" || value == L"untrusted")) {
            options.untrustedCaller = value == L"untrusted";
        } else {
            return std::nullopt;
        }
    }
    if (!haveUrl || !haveScript || options.name.empty() || options.progid.empty()) return std::nullopt;
    return options;
}

} // namespace vl::pagehost
