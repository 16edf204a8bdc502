// The command line of the page host:
//   pagehost.exe --url <page address> --script <file.js|file.html>
//                [--progid VLServiceAdapter.VLServiceAdapterX] [--name control]
//                [--caller trusted|untrusted] [--record-browser]
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vl::pagehost {

struct PageOptions {
    std::wstring url;
    // A script page (.js), or an HTML page (.html, .htm) with its own objects and scripts.
    std::wstring script;
    bool htmlPage = false;
    // The object of a script page and its name in the script; with recordBrowser, its
    // class's module is recorded from the start, for the objects page script creates.
    std::wstring progid = L"VLServiceAdapter.VLServiceAdapterX";
    std::wstring name = L"control";
    // As a browser for a web page: objects are told through IObjectSafety that untrusted
    // callers script them, and the script engines create objects only as the host's
    // security manager allows. Otherwise the host is a trusted local caller.
    bool untrustedCaller = false;
    // Browsers that the page's objects start are printed, not started.
    bool recordBrowser = false;
};

// The options of `arguments` (without the program name); none when one is unknown,
// lacks its value, or --url or --script is missing.
std::optional<PageOptions> ParsePageOptions(const std::vector<std::wstring>& arguments);

extern const wchar_t kPageUsage[];

} // namespace vl::pagehost
