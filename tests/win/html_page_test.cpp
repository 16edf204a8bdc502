// ctest: RESOURCE_LOCK product_state
// ctest: RESOURCE_LOCK com_registration
// ctest-trust: test root
// HTML pages in the page host, run as a browser runs a control page: objects and scripts
// in document order, the fallback content of an object that cannot be created, the three
// ways pages bind the control's events, window.onload and onunload, timers, and objects
// that page script creates (new ActiveXObject) with the caller setting and the page's site.
// ctest: TIMEOUT 300
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "com_server/Vlserviceadapter_tlb.h"
#include "fixtures/com_module.h"
#include "fixtures/page_run.h"
#include "fixtures/product_state.h"
#include "fixtures/test_paths.h"
#include "support/ansi_text.h"

using namespace vl::test;

namespace {

// The tag of the control, as a portal page writes it.
std::string ObjectTag()
{
    const std::string clsid = RegistryGuid(CLSID_VLServiceAdapterX);
    return "<object id=\"VLServiceAdapter\" classid=\"clsid:" + clsid.substr(1, 36) +
           "\" width=\"150\" height=\"86\">The control is missing.</object>\n";
}

PageRun RunHtml(const std::string& html, const std::wstring& options = L"--caller untrusted")
{
    return RunPage(html, options, L".html");
}

class HtmlPage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Regsvr32(ModulePath()), DWORD{0}); }
    void SetUp() override { ResetProductState(); }
    void TearDown() override { ResetProductState(); }
};

TEST_F(HtmlPage, RunsItsPartsInDocumentOrderThenOnloadTimersAndOnunload)
{
    const PageRun run = RunHtml(R"html(<!DOCTYPE html><html><body><h1>Title</h1>
<object id="Missing" classid="clsid:00000000-0000-0000-0000-0000000000AB" codebase="x.cab#version=1,2,3,4">
  <param name="a" value="b">Get the <b>control</b> first.</object>
<script>
alert("first script; element " + typeof document.getElementById("Missing") + ", none " +
      document.getElementById("none") + ", at " + location.href);
var ticks = 0;
var timer = setInterval(function () { if (++ticks == 3) { clearInterval(timer); alert("three ticks"); } }, 100);
setTimeout("alert('a text timer'); setTimeout('alert \"a VBScript timer\"', 0, 'VBScript');", 10);
window.onload = function () { alert("onload after every script: " + typeof later); };
</script>
<script>var later = 1;</script>
<script language="VBScript">Sub window_onunload() : alert "vbscript unload" : End Sub</script>
</body></html>)html");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("pagehost: skipped what a control page does not need: <h1>, text\n"
              "pagehost: <object id=\"Missing\"> could not be created (0x80040154); the page runs without it\n"
              "Get the control first.\n"
              "pagehost: a browser would install it from x.cab#version=1,2,3,4\n"
              "first script; element object, none null, at http://tw.vorlink.com/page.html\n"
              "onload after every script: number\n"
              "a text timer\n"
              "a VBScript timer\n"
              "three ticks\n"
              "vbscript unload\n",
              run.output);
}

TEST_F(HtmlPage, BindsTheControlsEventsTheThreeWaysPagesDo)
{
    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    const PageRun run = RunHtml(ObjectTag() + R"html(
<script for="VLServiceAdapter" event="OnResult(cmd, serial, params)">
host.print("script for: " + cmd + " " + serial + " " + params);
</script>
<script language="VBScript" for="VLServiceAdapter" event="OnResult(cmd, serial, params)">
host.print "vbscript for: " & cmd & " " & params
</script>
<script language="VBScript">
Sub VLServiceAdapter_OnResult(cmd, serial, params)
  host.print "vbscript sub: " & cmd & " " & params
End Sub
</script>
<script>
VLServiceAdapter.attachEvent("OnResult", function (cmd, serial, params) { host.print("attached: " + params); });
function detached() { host.print("a detached handler ran"); }
VLServiceAdapter.attachEvent("OnResult", detached);
VLServiceAdapter.detachEvent("OnResult", detached);
function OnResult() { host.print("a global function is no handler on an HTML page"); }
window.onload = function () {
  host.print("Initialize2 " + VLServiceAdapter.Initialize2("TW;Production", "1.0.0.10", "", 0, location.href));
  host.print("SendCommand " + VLServiceAdapter.SendCommand(2, 7, "x=1"));
};
window.onunload = function () { VLServiceAdapter.Uninitialize(); host.print("unloaded"); };
</script>)html");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("Initialize2 0\nSendCommand 0\n"
              "vbscript sub: 2 Echo=x=1\n"
              "script for: 2 7 Echo=x=1\n"
              "vbscript for: 2 Echo=x=1\n"
              "attached: Echo=x=1\n"
              "unloaded\n",
              run.output);
}

TEST_F(HtmlPage, WritesWhatAReaderSeesAndEndsWhereAHandlerEndsIt)
{
    const std::string tag = ObjectTag();
    const PageRun run = RunHtml(tag.substr(0, tag.find('>') + 1) + R"html(<param name="Caption" value="x"></object>
<script for="Nobody" event="OnPaint()">host.print("never");</script>
<script for="VLServiceAdapter" event="OnPaint()">
host.print("painted");
host.exit(5);
host.print("not after host.exit");
</script>
<script>document.write("<p>Hello, <b>reader</b> &amp; page</p>");</script>
<script>window.onunload = function () { document.writeln("unloaded"); };</script>)html");
    EXPECT_EQ(5u, run.exitCode);
    EXPECT_EQ("pagehost: the <param> values of \"VLServiceAdapter\" are not given to it (the page host loads no "
              "properties into objects; a control that is not safe for initialization gets none from a browser either)\n"
              "pagehost: <script for=\"Nobody\"> names no object of the page; skipped\n"
              "Hello, reader & page\n"
              "painted\n"
              "unloaded\n",
              run.output);
}

// A <script src> runs the file beside the page in its place among the scripts, in its
// language; one that the page host does not read is named, and the page goes on.
TEST_F(HtmlPage, RunsTheFilesItsScriptsNameBesideThePage)
{
    const PageFile page(R"html(<script src="first.js?v=2"></script>
<script src="http://tw.vorlink.com/remote.js">alert("never: the element's own text");</script>
<script src="missing.js"></script>
<script language="VBScript" src="/second.vbs"></script>
<script>alert("after: " + fromFile);</script>)html",
                        L".html");
    page.AddFile(L"first.js", "alert(\"first.js at \" + location.href);\nvar fromFile = 1;\n");
    page.AddFile(L"second.vbs", "alert \"second.vbs\"\r\n");
    const std::wstring missing = page.AddFile(L"missing.js", "");
    ::DeleteFileW(missing.c_str());
    const PageRun run = RunPageHost(page.Arguments(L"--caller untrusted"));
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("first.js at http://tw.vorlink.com/page.html\n"
              "pagehost: <script src=\"http://tw.vorlink.com/remote.js\"> (line 2) is not run: it names an address, a "
              "drive or a stream, not a file beside the page; the page host reads only files beside the page\n"
              "pagehost: <script src=\"missing.js\"> (line 3) is not run: no file " + vl::WideToAnsi(missing) +
                  " to read; the page host reads only files beside the page\n"
              "second.vbs\n"
              "after: 1\n",
              run.output);
}

// With --record-browser a first visit prints the browser the control asks for instead of
// opening it; every other program (here the kernel) starts as the control asks.
TEST_F(HtmlPage, RecordsTheBrowserOfAFirstVisitAndStartsTheRest)
{
    const std::string page = ObjectTag() + R"html(<script>
window.onload = function () {
    alert("Initialize2 " + VLServiceAdapter.Initialize2("TW;Production", "1.0.0.10", "", 0, location.href));
};
window.onunload = function () { VLServiceAdapter.Uninitialize(); };
</script>)html";
    const PageFile file(page, L".html");
    PageRun run = RunPageHost(file.Arguments(L"--caller untrusted --record-browser"));
    EXPECT_EQ("pagehost: the control asked the shell to open \"C:\\Program Files\\Internet Explorer\\iexplore.exe\" "
              "http://tw.vorlink.com/vorlink_block/install.aspx (verb runas, hidden)\nInitialize2 2\n",
              run.output);

    // The same for a control that page script creates.
    const PageFile created("<script>alert('Initialize2 ' + new ActiveXObject('VLServiceAdapter.VLServiceAdapterX')"
                           ".Initialize2('TW;Production', '1.0.0.10', '', 0, location.href));</script>",
                           L".html");
    EXPECT_EQ(run.output, RunPageHost(created.Arguments(L"--caller untrusted --record-browser")).output);

    ASSERT_TRUE(InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    run = RunPageHost(file.Arguments(L"--caller untrusted --record-browser"));
    EXPECT_EQ("Initialize2 0\n", run.output);
}

TEST_F(HtmlPage, ScriptErrorsNameThePagesLineAndSetTheExitCode)
{
    const PageRun run = RunHtml("<p>x</p>\n<script>\nvar a = 1;\nno_such_function();\n</script>\n"
                                "<script language=\"VBScript\">\nNoSuchSub\n</script>\n");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("script error at line 4")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("script error at line 7")) << run.output;
}

// Objects that page script creates get what a browser gives them: with an untrusted
// caller the safety option, and in every page the page's site.
TEST_F(HtmlPage, ScriptCreatedObjectsGetTheCallerSetting)
{
    const std::string page = R"html(<script>
try { new ActiveXObject("No.Such.Object"); } catch (e) { alert("missing " + (e.number >>> 0).toString(16)); }
alert("version " + new ActiveXObject("VLServiceAdapter.VLServiceAdapterX").GetVersion());
</script>)html";
    // A page of another site: told that untrusted callers script it, the control refuses.
    PageFile file(page, L".html");
    PageRun run = RunPageHost(file.Arguments(L"--caller untrusted", L"http://www.example.com/"));
    EXPECT_EQ("missing 800a01ad\nversion Failure\n", run.output);

    // Without the control, creation fails as a browser reports it.
    ASSERT_EQ(Regsvr32(ModulePath(), true), DWORD{0});
    run = RunPageHost(file.Arguments(L"--caller untrusted"));
    ASSERT_EQ(Regsvr32(ModulePath()), DWORD{0});
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("missing 800a01ad\n")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("Automation server can't create object")) << run.output;
}

// The created object gets the page's site (IObjectWithSite), through which it finds its
// page, and with it the page's address.
TEST_F(HtmlPage, ScriptCreatedObjectsFindTheirPageThroughTheSite)
{
    const PageFile file("<script>alert(new ActiveXObject(\"VLServiceAdapter.VLServiceAdapterX\").GetVersion());</script>",
                        L".html");
    // A portal page: its address reaches the control through the site.
    EXPECT_EQ("1.1.31.362\n", RunPageHost(file.Arguments(L"--caller untrusted")).output);
    // A trusted caller's page of another site: the page's site alone puts the lock in force.
    EXPECT_EQ("Failure\n", RunPageHost(file.Arguments(L"--caller trusted", L"http://www.example.com/")).output);
}

} // namespace
