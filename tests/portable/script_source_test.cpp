// Where the page host reads a page's <script src>: files beside the page, nothing else.
#include "pagehost/portable/script_source.h"

#include <gtest/gtest.h>

using namespace vl::pagehost;

TEST(ScriptSource, ReadsFilesBesideThePageAndNothingElse)
{
    const std::wstring address = L"it names an address, a drive or a stream, not a file beside the page";
    const std::wstring outside = L"it climbs out of the page's folder";
    const std::wstring device = L"it names a device";
    const std::wstring dropped = L"a part of it ends in a dot or a blank, which Windows drops";
    const std::wstring character = L"it holds a character that no file name has";
    const struct {
        const wchar_t* src;
        std::wstring path;    // or
        std::wstring refusal;
    } cases[] = {
        {L"vlservice.js", L"vlservice.js", {}},
        {L" js/lib.js?v=3#top ", L"js\\lib.js", {}},
        {L"/vlservice.js", L"vlservice.js", {}}, // the page's folder stands for the site's root
        {L"./a/../b.js", L"b.js", {}},
        {L"a//b.js", L"a\\b.js", {}},
        {L"com10.js", L"com10.js", {}},
        {L"100%25.js", L"100%25.js", {}}, // taken as written
        {L"", {}, L"it names no file"},
        {L"?v=1", {}, L"it names no file"},
        {L"http://tw.vorlink.com/vlservice.js", {}, address},
        {L"C:\\lib.js", {}, address},
        {L"lib.js:hidden", {}, address},
        {L"//tw.vorlink.com/lib.js", {}, L"it names another host"},
        {L"\\\\server\\share\\lib.js", {}, L"it names another host"},
        {L"lib/", {}, L"it names a folder"},
        {L"../lib.js", {}, outside},
        {L"a\\..\\..\\windows\\win.ini", {}, outside},
        {L"con", {}, device},
        {L"js/NUL.js", {}, device},
        {L"aux .js", {}, device},
        {L"COM1.js", {}, device},
        {L"com\u00B9.js", {}, device},
        {L"conout$.js", {}, device},
        {L"lib.js.", {}, dropped},
        {L"a /lib.js", {}, dropped},
        {L".../lib.js", {}, dropped},
        {L"a|b.js", {}, character},
        {L"a\x01.js", {}, character},
    };
    for (const auto& c : cases) {
        const ScriptSource source = LocalScriptSource(c.src);
        EXPECT_EQ(source.path, c.path) << testing::PrintToString(std::wstring(c.src));
        EXPECT_EQ(source.refusal, c.refusal) << testing::PrintToString(std::wstring(c.src));
    }
}
