// The service host serves only the extension the browser names as its caller, under any of
// its IDs, in either browser's form of the arguments.
#include "service_host/portable/browser_caller.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vl;

TEST(BrowserCaller, ServesOnlyTheExtensionTheBrowserNames)
{
    // The development build's ID and one store's.
    const std::wstring_view origins[] = {L"chrome-extension://oflkdgjcgdkmeoeobnlliocfmodnepcg/",
                                         L"chrome-extension://aaaabbbbccccddddeeeeffffgggghhhh/"};
    const AllowedExtension allowed{origins, L"service@vorlink.com"};
    struct Case {
        std::vector<const wchar_t*> arguments;
        bool allowed;
    };
    const Case cases[] = {
        // Chromium-based browsers: the origin, on Windows the parent window after it.
        {{L"chrome-extension://oflkdgjcgdkmeoeobnlliocfmodnepcg/"}, true},
        {{L"chrome-extension://oflkdgjcgdkmeoeobnlliocfmodnepcg/", L"--parent-window=0"}, true},
        {{L"chrome-extension://aaaabbbbccccddddeeeeffffgggghhhh/", L"--parent-window=0"}, true},
        {{L"chrome-extension://abcdefghijklmnopabcdefghijklmnop/", L"--parent-window=0"}, false},
        {{L"chrome-extension://aaaabbbbccccddddeeeeffffgggghhhh"}, false},
        {{L"chrome-extension://oflkdgjcgdkmeoeobnlliocfmodnepcg"}, false},
        {{L"chrome-extension://oflkdgjcgdkmeoeobnlliocfmodnepcgx/"}, false},
        {{L"chrome-extension://OFLKDGJCGDKMEOEOBNLLIOCFMODNEPCG/"}, false},
        // Firefox: the manifest's path, then the extension's ID.
        {{L"C:\\Program Files\\Torvane\\host.firefox.json", L"service@vorlink.com"}, true},
        {{L"C:\\Program Files\\Torvane\\host.firefox.json", L"other@example.com"}, false},
        {{L"service@vorlink.com"}, false},
        {{L"C:\\host.json", L"service@vorlink.com.evil"}, false},
        // Started by hand, or with the origin anywhere but first.
        {{}, false},
        {{L"--parent-window=0", L"chrome-extension://oflkdgjcgdkmeoeobnlliocfmodnepcg/"}, false},
    };
    for (const Case& c : cases) {
        const std::wstring first = c.arguments.empty() ? L"(none)" : c.arguments.front();
        EXPECT_EQ(IsAllowedCaller(c.arguments, allowed), c.allowed) << std::string(first.begin(), first.end());
    }
    // Without a Chromium ID only Firefox's form is served.
    const std::vector<const wchar_t*> chromium{origins[0].data()};
    EXPECT_FALSE(IsAllowedCaller(chromium, {{}, L"service@vorlink.com"}));
}
