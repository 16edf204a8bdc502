#include "page_options.h"

#include <windows.h>

namespace vl::pagehost {

namespace {

bool EndsWithIgnoringCase(const std::wstring& text, std::wstring_view ending)
{
    return text.size() >= ending.size() &&
           ::CompareStringOrdinal(text.c_str() + text.size() - ending.size(), static_cast<int>(ending.size()),
                                  ending.data(), static_cast<int>(ending.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

const wchar_t kPageUsage[] =
    L"usage: pagehost.exe --url <page address> --script <file.js|file.html> [--progid <ProgID>]"
    L" [--name <script name>] [--caller trusted|untrusted] [--record-browser]";

std::optional<PageOptions> ParsePageOptions(const std::vector<std::wstring>& arguments)
{
    PageOptions options;
    bool haveUrl = false;
    bool haveScript = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& option = arguments[i];
        if (option == L"--record-browser") {
            options.recordBrowser = true;
            continue;
        }
        if (++i >= arguments.size()) return std::nullopt;
        const std::wstring& value = arguments[i];
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
    options.htmlPage = EndsWithIgnoringCase(options.script, L".html") || EndsWithIgnoringCase(options.script, L".htm");
    return options;
}

} // namespace vl::pagehost
