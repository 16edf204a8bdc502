// Where the page host reads a page's <script src>: files beside the page, nothing else.
#include "pagehost/portable/script_source.h"

#include <gtest/gtest.h>

using namespace vl::pagehost;

TEST(ScriptSource, ReadsFilesBesideThePage)
{
    const struct {
        const wchar_t* src;
        const wchar_t* path;
    } cases[] = {
        {L"vlservice.js", L"vlservice.js"},
        {L" js/lib.js?v=3#top ", L"js\\lib.js"},
        {L"/vlservice.js", L"vlservice.js"}, // the page's folder stands for the site's root
        {L"\\js\\lib.js", L"js\\lib.js"},
        {L"./a/../b.js", L"b.js"},
        {L"a//b.js", L"a\\b.js"},
        {L"console.js", L"console.js"},
        {L"com10.js", L"com10.js"},
        {L"100%25.js", L"100%25.js"}, // taken as written
    };
    for (const auto& c : cases) {
        const ScriptSource source = LocalScriptSource(c.src);
        EXPECT_EQ(source.path, c.path) << testing::PrintToString(std::wstring(c.src));
        EXPECT_EQ(source.refusal, L"") << testing::PrintToString(std::wstring(c.src));
    }
}

TEST(ScriptSource, RefusesAddressesPathsOutOfTheFolderAndDevices)
{
    const struct {
        const wchar_t* src;
        const wchar_t* refusal;
    } cases[] = {
        {L"", L"it names no file"},
        {L"?v=1", L"it names no file"},
        {L"./.", L"it names no file"},
        {L"http://tw.vorlink.com/vlservice.js", L"it names an address, a drive or a stream, not a file beside the page"},
        {L"file:///C:/lib.js", L"it names an address, a drive or a stream, not a file beside the page"},
        {L"C:\\lib.js", L"it names an address, a drive or a stream, not a file beside the page"},
        {L"lib.js:hidden", L"it names an address, a drive or a stream, not a file beside the page"},
        {L"//tw.vorlink.com/lib.js", L"it names another host"},
        {L"\\\\server\\share\\lib.js", L"it names another host"},
        {L"/\\server\\lib.js", L"it names another host"},
        {L"lib/", L"it names a folder"},
        {L"/", L"it names a folder"},
        {L"../lib.js", L"it climbs out of the page's folder"},
        {L"a/../../lib.js", L"it climbs out of the page's folder"},
        {L"a\\..\\..\\windows\\win.ini", L"it climbs out of the page's folder"},
        {L"con", L"it names a device"},
        {L"js/NUL.js", L"it names a device"},
        {L"aux .js", L"it names a device"},
        {L"COM1.js", L"it names a device"},
        {L"lpt9", L"it names a device"},
        {L"com\u00B9.js", L"it names a device"},
        {L"conout$.js", L"it names a device"},
        {L"lib.js.", L"a part of it ends in a dot or a blank, which Windows drops"},
        {L"a /lib.js", L"a part of it ends in a dot or a blank, which Windows drops"},
        {L".../lib.js", L"a part of it ends in a dot or a blank, which Windows drops"},
        {L"a|b.js", L"it holds a character that no file name has"},
        {L"a*.js", L"it holds a character that no file name has"},
        {L"a\x01.js", L"it holds a character that no file name has"},
        {L"a\"b.js", L"it holds a character that no file name has"},
    };
    for (const auto& c : cases) {
        const ScriptSource source = LocalScriptSource(c.src);
        EXPECT_EQ(source.refusal, c.refusal) << testing::PrintToString(std::wstring(c.src));
        EXPECT_EQ(source.path, L"") << testing::PrintToString(std::wstring(c.src));
    }
}
