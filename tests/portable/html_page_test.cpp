// The page host's reading of an HTML control page.
#include "pagehost/portable/html_page.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace vl::pagehost;

const ObjectTag& ObjectAt(const HtmlPage& page, std::size_t index)
{
    return std::get<ObjectTag>(page.parts.at(index));
}

const ScriptBlock& ScriptAt(const HtmlPage& page, std::size_t index)
{
    return std::get<ScriptBlock>(page.parts.at(index));
}

TEST(HtmlPage, ReadsObjectsAndScriptsInDocumentOrder)
{
    const HtmlPage page = ParseHtmlPage(LR"html(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>a <b> page</title>
<script>var first = 1;</script></head>
<body>
<!-- <object id="commented"></object> -->
<OBJECT ID=VLServiceAdapter classid='clsid:2A4B6C8D-1E3F-4A5B-9C7D-0E1F2A3B4C5D'
        codebase="VLServiceAdapter.cab#version=1,1,31,362" width="150" height=86>
  <param name="Region" value="TW;Production">
  <PARAM NAME=empty>
  Please install the &quot;vorlink!&quot; control: <a href="x">here</a>&amp;now.
  <object id="inner"><param name="not" value="mine">inner text</object>
</OBJECT>
<script language="VBScript" for="VLServiceAdapter" event="OnResult( cmd, serial , params )">
  Sub x
</script>
<script type="text/vbscript">Sub window_onload() : End Sub</script>
</body></html>)html");
    ASSERT_EQ(4u, page.parts.size());
    EXPECT_TRUE(page.skipped.empty()) << page.skipped.front();

    const ScriptBlock& first = ScriptAt(page, 0);
    EXPECT_EQ(ScriptLanguage::JScript, first.language);
    EXPECT_EQ(L"var first = 1;", first.code);
    EXPECT_EQ(3u, first.line);
    EXPECT_TRUE(first.forId.empty());

    const ObjectTag& object = ObjectAt(page, 1);
    EXPECT_EQ(L"VLServiceAdapter", object.id);
    EXPECT_EQ(L"{2A4B6C8D-1E3F-4A5B-9C7D-0E1F2A3B4C5D}", ClassIdentifierOf(object.classId));
    EXPECT_EQ(L"1,1,31,362", CodebaseVersionOf(object.codebase));
    EXPECT_EQ(L"150", object.width);
    EXPECT_EQ(L"86", object.height);
    EXPECT_EQ(6u, object.line);
    ASSERT_EQ(2u, object.params.size());
    EXPECT_EQ(L"Region", object.params[0].name);
    EXPECT_EQ(L"TW;Production", object.params[0].value);
    EXPECT_EQ(L"empty", object.params[1].name);
    EXPECT_EQ(L"", object.params[1].value);
    EXPECT_EQ(L"Please install the \"vorlink!\" control: here&now. inner text", object.fallback);

    const ScriptBlock& handler = ScriptAt(page, 2);
    EXPECT_EQ(ScriptLanguage::VBScript, handler.language);
    EXPECT_EQ(L"VLServiceAdapter", handler.forId);
    EXPECT_EQ(L"OnResult", handler.event);
    EXPECT_EQ(L"cmd, serial , params", handler.eventParameters);
    EXPECT_EQ(L"\n  Sub x\n", handler.code);
    EXPECT_EQ(13u, handler.line);
    EXPECT_EQ(ScriptLanguage::VBScript, ScriptAt(page, 3).language);
}

TEST(HtmlPage, ScriptLanguagesAsBrowsersNameThem)
{
    const struct {
        const wchar_t* attributes;
        bool run;
        ScriptLanguage language;
    } cases[] = {
        {L"", true, ScriptLanguage::JScript},
        {L"language=\"JavaScript\"", true, ScriptLanguage::JScript},
        {L"language=\"JavaScript1.2\"", true, ScriptLanguage::JScript},
        {L"language=jscript", true, ScriptLanguage::JScript},
        {L"type=\"text/javascript\"", true, ScriptLanguage::JScript},
        {L"type=\"application/javascript\" language=\"VBScript\"", true, ScriptLanguage::JScript},
        {L"LANGUAGE=\"VBScript\"", true, ScriptLanguage::VBScript},
        {L"type=\"text/vbscript\"", true, ScriptLanguage::VBScript},
        {L"language=\"vbs\"", true, ScriptLanguage::VBScript},
        {L"type=\"module\"", false, ScriptLanguage::JScript},
        {L"language=\"PerlScript\"", false, ScriptLanguage::JScript},
        {L"type=\"text/vbscript1\"", false, ScriptLanguage::JScript},
    };
    for (const auto& c : cases) {
        const HtmlPage page = ParseHtmlPage(std::wstring(L"<script ") + c.attributes + L">x</script>");
        ASSERT_EQ(c.run ? 1u : 0u, page.parts.size()) << c.attributes;
        if (c.run) {
            EXPECT_EQ(c.language, ScriptAt(page, 0).language) << c.attributes;
        }
    }
}

TEST(HtmlPage, SkipsWhatAControlPageDoesNotUseAndNamesItOnce)
{
    const HtmlPage page = ParseHtmlPage(LR"(<h1>Title</h1><p>one</p><p>two</p>
<style>p { color: red } </style><script src="lib.js"></script>
<script language="PerlScript">print 1</script><script for="x">var plain = 1;</script>
a < b)");
    EXPECT_EQ((std::vector<std::wstring>{L"<h1>", L"text", L"<p>", L"<style>", L"<script> of another language"}),
              page.skipped);
    ASSERT_EQ(2u, page.parts.size());
    EXPECT_TRUE(ScriptAt(page, 1).forId.empty()) << "for without event is a plain script";
}

// What a page may end with, or hold, without breaking the reading.
TEST(HtmlPage, TakesCutAndOddPagesAsFarAsTheyGo)
{
    const struct {
        const wchar_t* text;
        std::size_t parts;
        const wchar_t* lastCode; // of the last part when it is a script
    } cases[] = {
        {L"<script>var a = '</script>';", 1, L"var a = '"}, // as in a browser
        {L"<script>never closed", 1, L"never closed"},
        {L"<object id=x><param name=a value=\"b", 1, nullptr},
        {L"<object id=\"x\"/>after<script>1</script>", 2, L"1"},
        {L"<!-- never closed <script>x</script>", 0, nullptr},
        {L"<script for=a event=\"OnPaint\">x</SCRIPT >", 1, L"x"},
        {L"</ nothing><<<>>><script\n>ok</script>", 1, L"ok"},
        {L"<object id=a =x =>&#65;&#x42;&#0;&#x110000;&bogus;&#;</object>", 1, nullptr},
        {L"", 0, nullptr},
    };
    for (const auto& c : cases) {
        const HtmlPage page = ParseHtmlPage(c.text);
        ASSERT_EQ(c.parts, page.parts.size()) << c.text;
        if (c.lastCode) {
            EXPECT_EQ(c.lastCode, std::get<ScriptBlock>(page.parts.back()).code) << c.text;
        }
    }
    EXPECT_EQ(L"AB\xFFFD\xFFFD&bogus;&#;", ObjectAt(ParseHtmlPage(cases[7].text), 0).fallback);
}

TEST(HtmlPage, TextOfHtmlIsWhatAReaderSees)
{
    EXPECT_EQ(L"a bold & more", TextOfHtml(L"a <b>bold</b> &amp; more<br>"));
    EXPECT_EQ(L"one two", TextOfHtml(L"<p>one</p><!-- not shown --><p>two<script>x < y</script></p>"));
    EXPECT_EQ(L"", TextOfHtml(L"<br/>"));
}

TEST(HtmlPage, ClassIdentifiersAreClsidUrlsOfTheStandardForm)
{
    EXPECT_EQ(L"{00000000-0000-0000-C000-000000000046}",
              ClassIdentifierOf(L" CLSID:00000000-0000-0000-C000-000000000046 "));
    for (const wchar_t* bad : {L"", L"clsid:", L"{00000000-0000-0000-C000-000000000046}",
                               L"clsid:00000000-0000-0000-C000-00000000004", L"clsid:00000000-0000-0000-C000-0000000000466",
                               L"clsid:00000000_0000-0000-C000-000000000046", L"clsid:0000000g-0000-0000-C000-000000000046",
                               L"progid:VLServiceAdapter.VLServiceAdapterX"})
        EXPECT_EQ(L"", ClassIdentifierOf(bad)) << bad;
    EXPECT_EQ(L"", CodebaseVersionOf(L"VLServiceAdapter.cab"));
    EXPECT_EQ(L"1,2,3,4", CodebaseVersionOf(L"http://x/VLServiceAdapter.cab#Version=1,2,3,4"));
}

} // namespace
