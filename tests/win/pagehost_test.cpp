// The page host: its site objects in this process, and pagehost.exe run as a page would
// be, first with objects that Wine itself provides, then with the control.
// ctest: RESOURCE_LOCK product_state
// ctest: RESOURCE_LOCK com_registration
// ctest-link: pagehost_objects
#include <gtest/gtest.h>
#include <windows.h>
#include <docobj.h>
#include <objsafe.h>
#include <olectl.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "com_new.h"
#include "control_site.h"
#include "event_sink.h"
#include "host_window.h"
#include "page_document.h"
#include "page_frame.h"
#include "page_services.h"
#include "script_host.h"
#include "fixtures/child_process.h"
#include "fixtures/com_module.h"
#include "fixtures/page_run.h"
#include "fixtures/result_event.h"
#include "fixtures/temp_folder.h"
#include "fixtures/test_paths.h"

using namespace vl;
using namespace vl::pagehost;
using namespace vl::test;

namespace {

// ---------------------------------------------------------------------------------------
// The site objects, in this process.

class PageSiteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_window.Create(L"site test", 200, 100));
        m_frame = NewComObject<PageFrame>(m_window.Handle());
        const ComPtr<PageDocument> document = NewComObject<PageDocument>(kUrl);
        m_site = NewComObject<ControlSite>(m_window.Handle(), ComPtr<IOleContainer>(document.get()),
                                           ComPtr<IOleInPlaceFrame>(m_frame.get()));
    }

    static constexpr const wchar_t* kUrl = L"http://portal.test/games/index.html?region=TW";
    HostWindow m_window;
    ComPtr<PageFrame> m_frame;
    ComPtr<ControlSite> m_site;
};

TEST_F(PageSiteTest, ClientSiteLeadsToTheHtmlDocumentWithThePageAddress)
{
    // The control's way to its page's address: client site, container, HTML document.
    ComPtr<IOleClientSite> client;
    ASSERT_EQ(S_OK, m_site->QueryInterface(IID_IOleClientSite, client.put_void()));
    ComPtr<IOleContainer> container;
    ASSERT_EQ(S_OK, client->GetContainer(container.put()));
    ComPtr<IHTMLDocument2> document;
    ASSERT_EQ(S_OK, container.As(document));
    UniqueBstr url;
    ASSERT_EQ(S_OK, document->get_URL(url.put()));
    EXPECT_EQ(kUrl, url.str());

    UniqueBstr title;
    EXPECT_EQ(E_NOTIMPL, document->get_title(title.put()));
    UINT typeInfoCount = 7;
    EXPECT_EQ(S_OK, document->GetTypeInfoCount(&typeInfoCount));
    EXPECT_EQ(0u, typeInfoCount);
    ComPtr<IUnknown> containerIdentity;
    ComPtr<IUnknown> documentIdentity;
    container->QueryInterface(IID_IUnknown, containerIdentity.put_void());
    document->QueryInterface(IID_IUnknown, documentIdentity.put_void());
    EXPECT_EQ(containerIdentity.get(), documentIdentity.get());

    // In place, the page's window is the control's parent and the frame's window.
    ComPtr<IOleInPlaceSite> inPlace;
    ASSERT_EQ(S_OK, m_site->QueryInterface(IID_IOleInPlaceSite, inPlace.put_void()));
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> documentWindow;
    RECT position{};
    RECT clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof(info);
    ASSERT_EQ(S_OK, inPlace->GetWindowContext(frame.put(), documentWindow.put(), &position, &clip, &info));
    HWND window = nullptr;
    ASSERT_TRUE(frame);
    EXPECT_EQ(S_OK, frame->GetWindow(&window));
    EXPECT_EQ(m_window.Handle(), window);
    EXPECT_EQ(m_window.Handle(), info.hwndFrame);
    EXPECT_EQ(S_OK, inPlace->GetWindow(&window));
    EXPECT_EQ(m_window.Handle(), window);
}

TEST_F(PageSiteTest, AmbientPropertiesAreThoseOfAPageInUserMode)
{
    ComPtr<IDispatch> ambient;
    ASSERT_EQ(S_OK, m_site->QueryInterface(IID_IDispatch, ambient.put_void()));
    auto read = [&](DISPID id, UniqueVariant& value) {
        DISPPARAMS none{};
        return ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.put(), nullptr,
                               nullptr);
    };
    UniqueVariant value;
    ASSERT_EQ(S_OK, read(DISPID_AMBIENT_USERMODE, value));
    EXPECT_EQ(VT_BOOL, V_VT(value.get()));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(value.get()));

    ASSERT_EQ(S_OK, read(DISPID_AMBIENT_BACKCOLOR, value));
    ASSERT_EQ(VT_I4, V_VT(value.get()));
    EXPECT_EQ(static_cast<LONG>(0x80000000 | COLOR_WINDOW), V_I4(value.get()));
    ASSERT_EQ(S_OK, read(DISPID_AMBIENT_FORECOLOR, value));
    ASSERT_EQ(VT_I4, V_VT(value.get()));
    EXPECT_EQ(static_cast<LONG>(0x80000000 | COLOR_WINDOWTEXT), V_I4(value.get()));

    ASSERT_EQ(S_OK, read(DISPID_AMBIENT_FONT, value));
    ASSERT_EQ(VT_DISPATCH, V_VT(value.get()));
    ComPtr<IFont> font;
    ASSERT_EQ(S_OK, V_DISPATCH(value.get())->QueryInterface(IID_IFont, font.put_void()));
    CY size{};
    ASSERT_EQ(S_OK, font->get_Size(&size));
    // 8 points, as whole pixels make it; the face may be the system's substitute for Tahoma.
    EXPECT_NEAR(80000, size.int64, 5000);
    BOOL bold = TRUE;
    ASSERT_EQ(S_OK, font->get_Bold(&bold));
    EXPECT_FALSE(bold);

    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, read(DISPID_AMBIENT_APPEARANCE, value));
}

// The event sink against a script in this process, called as the control raises events.
TEST(PageEventSink, CallsTheScriptsFunctionsWithNumbersAndTakesBackTheKey)
{
    const ComPtr<ScriptHost> script = NewComObject<ScriptHost>(nullptr);
    ASSERT_EQ(S_OK, script->Start({}));
    ASSERT_EQ(S_OK, script->Run(LR"(
        var seen = [];
        function OnResult(cmd, serial, params) { seen.push(typeof cmd + " " + cmd + "/" + serial + "/" + params); }
        function OnKeyPress(key) { seen.push("key " + key); if (key == -56) return 321; }
        function OnPaint() { missing(); }
        function Seen() { return seen.join(";"); }
    )"));
    const auto handlers = std::make_shared<EventHandlers>(script, nullptr);
    handlers->AddNamingRule(script, L"");
    const ComPtr<EventSink> sink = NewComObject<EventSink>(handlers);
    ComPtr<IDispatch> events;
    ASSERT_EQ(S_OK, sink->QueryInterface(DIID_IVLServiceAdapterXEvents, events.put_void()));
    auto raise = [&](DISPID id, VARIANT* args, UINT count) {
        DISPPARAMS params{args, nullptr, count, 0};
        EXCEPINFO info{};
        UINT argError = 0;
        UniqueVariant result;
        return events->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, result.put(), &info,
                              &argError);
    };

    // As the control raises OnResult: the last argument first, unsigned numbers.
    ResultEvent result(VT_UI4, 0xFFFFFFF0u, 7, L"Key=Value");
    EXPECT_EQ(S_OK, raise(vl::event_dispid::OnResult, result.Arguments(), 3));

    SHORT key = -56;
    VARIANT keyArgument;
    V_VT(&keyArgument) = VT_BYREF | VT_I2;
    V_I2REF(&keyArgument) = &key;
    EXPECT_EQ(S_OK, raise(vl::event_dispid::OnKeyPress, &keyArgument, 1));
    EXPECT_EQ(321, key);
    key = 65;
    EXPECT_EQ(S_OK, raise(vl::event_dispid::OnKeyPress, &keyArgument, 1));
    EXPECT_EQ(65, key); // no return value: the key stays

    // Events without a handler, or unknown to the page, pass quietly.
    EXPECT_EQ(S_OK, raise(vl::event_dispid::OnClick, nullptr, 0));
    EXPECT_EQ(S_OK, raise(999, nullptr, 0));
    EXPECT_EQ(0u, script->Errors());
    // A failing handler is the page's error; the raising control is not told.
    EXPECT_EQ(S_OK, raise(vl::event_dispid::OnPaint, nullptr, 0));
    EXPECT_EQ(1u, script->Errors());

    UniqueVariant seen;
    DISPPARAMS none{};
    ASSERT_EQ(S_OK, script->CallFunction(L"Seen", none, seen.put()));
    ASSERT_EQ(VT_BSTR, V_VT(seen.get()));
    EXPECT_EQ(L"number 4294967280/7/Key=Value;key -56;key 65", BstrText(V_BSTR(seen.get())));
    script->Close();
}

// ---------------------------------------------------------------------------------------
// pagehost.exe, run as a separate program.

constexpr DWORD kRunLimitMs = 60000;

// pagehost.exe with its output on a pipe that the test reads as it comes, while the page
// lives.
class PageProcess {
public:
    explicit PageProcess(const std::wstring& arguments) : m_child(StartWithPipe(arguments)) {}

    bool Started() const { return m_child && m_child->Started(); }

    // The next line of output without its line feed; empty when none came within `ms`.
    std::string ReadLine(DWORD ms)
    {
        const DWORD start = ::GetTickCount();
        for (;;) {
            const auto end = m_buffer.find('\n');
            if (end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            if (!ReadAvailable() || ::GetTickCount() - start >= ms) return {};
            ::Sleep(10);
        }
    }

    // The rest of the output and the exit code; the program is ended by force after `ms`.
    PageRun Finish(DWORD ms)
    {
        const DWORD start = ::GetTickCount();
        while (ReadAvailable() && ::GetTickCount() - start < ms) ::Sleep(10);
        PageRun run;
        run.exitCode = m_child->Finish(1000);
        run.output = std::move(m_buffer);
        return run;
    }

private:
    // The page host with its standard output and error on a pipe whose reading end is kept.
    std::unique_ptr<vl::test::ChildProcess> StartWithPipe(const std::wstring& arguments)
    {
        SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
        UniqueHandle write;
        if (!::CreatePipe(m_read.put(), write.put(), &inheritable, 0)) return nullptr;
        ::SetHandleInformation(m_read.get(), HANDLE_FLAG_INHERIT, 0);
        return std::make_unique<vl::test::ChildProcess>(BuildFile(L"pagehost.exe"), arguments,
                                                        vl::test::ChildOptions{{}, nullptr, write.get(), write.get()});
    }

    // Appends what the pipe holds; false once the program and its pipe are gone.
    bool ReadAvailable()
    {
        DWORD available = 0;
        if (!::PeekNamedPipe(m_read.get(), nullptr, 0, nullptr, &available, nullptr)) return false;
        while (available > 0) {
            char chunk[4096];
            DWORD read = 0;
            if (!::ReadFile(m_read.get(), chunk, std::min<DWORD>(available, sizeof(chunk)), &read, nullptr)) return false;
            m_buffer.append(chunk, read);
            available -= read;
        }
        return true;
    }

    UniqueHandle m_read;
    std::string m_buffer;
    std::unique_ptr<vl::test::ChildProcess> m_child; // after m_read, which it fills
};

// An object that Wine certainly offers, without OLE embedding or events.
const std::wstring kDictionary = L"--progid Scripting.Dictionary --name dict";

TEST(PageHost, PrintsWhatThePagePrintsWithItsAddressAndEnvironment)
{
    const std::wstring hello = Quoted(BuildFile(L"pages/hello.js"));
    const std::wstring options = L" --url http://portal.test/a?b=c --script " + hello + L" " + kDictionary;
    ::SetEnvironmentVariableW(L"PAGEHOST_GREETING", L"greetings, page");
    PageRun run = RunPageHost(options);
    EXPECT_EQ("hello from http://portal.test/a?b=c\ngreetings, page\n", run.output);
    EXPECT_EQ(0u, run.exitCode);

    ::SetEnvironmentVariableW(L"PAGEHOST_GREETING", nullptr);
    run = RunPageHost(options);
    EXPECT_EQ("hello from http://portal.test/a?b=c\nno greeting\n", run.output);
}

TEST(PageHost, HostsAnObjectWithoutEmbeddingItAndPrintsScriptValuesAsTheScriptWould)
{
    const PageRun run = RunPage(R"(
        dict.Add("a", 1);
        dict.Add("b", 2);
        host.print("count " + dict.Count);
        host.print(true); host.print(null); host.print(); host.print(2.5);
        host.print("control window " + host.controlWindow);
    )", kDictionary);
    EXPECT_EQ("count 2\ntrue\nnull\n\n2.5\ncontrol window 0\n", run.output);
    EXPECT_EQ(0u, run.exitCode);
}

TEST(PageHost, ExitCodeIsTheScriptsOrOneAfterAScriptError)
{
    // host.exit ends the script at once; the page's unload handler still runs.
    PageRun run = RunPage("window.onunload = function () { host.print(\"unload\"); };\n"
                          "host.exit(7);\nhost.print(\"runs on\");\n",
                          kDictionary);
    EXPECT_EQ("unload\n", run.output);
    EXPECT_EQ(7u, run.exitCode);

    run = RunPage("host.print(\"first\");\nfunction f() {\n  return no_such_function();\n}\nf();\n"
                  "host.print(\"never\");\n", kDictionary);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(0u, run.output.find("first\n")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("script error at line 3")) << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("never")) << run.output;

    run = RunPage("host.print(\"first\");\nvar x = ;\n", kDictionary);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("script error at line 2")) << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("first")) << run.output; // nothing ran
}

TEST(PageHost, RefusesABadCommandLineAndAnUnreadableScript)
{
    EXPECT_EQ(2u, RunPageHost(L"--url http://portal.test/").exitCode);
    EXPECT_EQ(2u, RunPageHost(L"--url u --script x.js --colour red").exitCode);
    EXPECT_EQ(2u, RunPageHost(L"--url u --script x.js --record-browser --caller").exitCode);
    EXPECT_EQ(2u, RunPageHost(L"--url u --script Z:\\no\\such\\page.js").exitCode);
}

// As in a browser, a page whose object cannot be created still runs; the object's name
// answers nothing, which script sees as "Object doesn't support this property or method".
TEST(PageHost, RunsAPageWhoseObjectCannotBeCreated)
{
    const PageRun run = RunPage(R"(
        try { obj.Anything(); } catch (e) { host.print("error " + (e.number >>> 0).toString(16)); }
        host.print("module [" + host.controlModule + "]");
    )", L"--progid No.Such.Object --name obj");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("pagehost: No.Such.Object could not be created")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("error 800a01b6\nmodule []\n")) << run.output;
}

// The script prints the page's and the control's windows and waits; the test looks at the
// windows while the page lives, then closes the page's window, which ends the wait.
struct LivePage {
    HWND page = nullptr;
    HWND control = nullptr;
};

LivePage ReadWindows(PageProcess& process)
{
    const std::string line = process.ReadLine(kRunLimitMs);
    LivePage live;
    long page = 0;
    long control = 0;
    if (std::sscanf(line.c_str(), "windows %ld %ld", &page, &control) == 2) {
        live.page = static_cast<HWND>(LongToHandle(page));
        live.control = static_cast<HWND>(LongToHandle(control));
    }
    return live;
}

constexpr char kWindowsScript[] =
    "host.print(\"windows \" + host.window + \" \" + host.controlWindow);\n"
    "var start = new Date().getTime();\n"
    "host.sleep(" "60000" ");\n"
    "host.print(new Date().getTime() - start < 50000 ? \"closed early\" : \"waited in vain\");\n";

// Runs the windows script with `options`, checks the windows while the page lives (the
// control's as a visible child of the page's unless `withControl` is false) and closes it.
void ExpectPageWindows(const std::wstring& options, bool withControl)
{
    const PageFile script(kWindowsScript, L".js");
    PageProcess process(script.Arguments(options));
    ASSERT_TRUE(process.Started());
    const LivePage live = ReadWindows(process);
    ASSERT_TRUE(::IsWindow(live.page));
    EXPECT_TRUE(::IsWindowVisible(live.page));
    EXPECT_EQ(nullptr, ::GetParent(live.page));
    if (withControl) {
        ASSERT_TRUE(::IsWindow(live.control));
        EXPECT_EQ(live.page, ::GetParent(live.control));
        EXPECT_TRUE(::IsWindowVisible(live.control));
    } else {
        EXPECT_EQ(nullptr, live.control);
    }
    // A window that does not answer would keep this waiting: the page runs its messages.
    DWORD_PTR answer = 0;
    EXPECT_NE(0, ::SendMessageTimeoutW(live.page, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    ::PostMessageW(live.page, WM_CLOSE, 0, 0);
    const PageRun run = process.Finish(kRunLimitMs);
    EXPECT_EQ("closed early\n", run.output);
    EXPECT_EQ(0u, run.exitCode);
}

TEST(PageHost, SleepRunsThePagesWindowAndEndsWhenTheWindowIsClosed)
{
    ExpectPageWindows(kDictionary, false);
}

// Wine's media player control activates in place with a window of its own (it offers no
// scripting): the embedding sequence without our control.
TEST(PageHost, EmbedsAnOleControlInPlaceInThePagesWindow)
{
    CLSID player{};
    if (FAILED(::CLSIDFromProgID(L"WMPlayer.OCX", &player))) GTEST_SKIP() << "WMPlayer.OCX is not registered";
    ExpectPageWindows(L"--progid WMPlayer.OCX --name player", true);
}

// ---------------------------------------------------------------------------------------
// With the control, registered from the build tree.

class PageHostControl : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::wstring module = vl::test::ModulePath();
        if (::GetFileAttributesW(module.c_str()) == INVALID_FILE_ATTRIBUTES) {
            s_unavailable = "VLServiceAdapter.ocx is not built";
            return;
        }
        const std::optional<DWORD> exitCode = vl::test::Regsvr32(module);
        if (exitCode != 0u)
            s_unavailable = "regsvr32 could not register VLServiceAdapter.ocx (exit code " +
                            (exitCode ? std::to_string(*exitCode) : std::string("none")) + ")";
    }

    void SetUp() override
    {
        if (!s_unavailable.empty()) GTEST_SKIP() << "the control is not available: " << s_unavailable;
        // A fresh update attempt: no progress text from an earlier updater.
        UniqueRegKey key;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Torvane\\vorlink!", 0, KEY_SET_VALUE, key.put()) ==
            ERROR_SUCCESS)
            ::RegDeleteValueW(key.get(), L"Progress");
    }

    static inline std::string s_unavailable;
};

// What the page offers objects that its script creates: the page's document as a service,
// and the host security manager's safety step, which tells a web page's object that
// untrusted callers script it and refuses an object that is not safe for scripting.
TEST_F(PageHostControl, PageServicesGiveTheDocumentAndTakeTheBrowsersSafetyStep)
{
    constexpr GUID kConfirmObjectSafety = {0x10200490, 0xfa38, 0x11d0, {0xac, 0x0e, 0x00, 0xa0, 0xc9, 0x0f, 0xff, 0xc0}};
    const ComPtr<PageDocument> document = NewComObject<PageDocument>(kPortalPageUrl);
    const struct {
        const char* page;
        bool untrusted;
        const wchar_t* progid;
        DWORD policy;
        DWORD enabledAfter; // the control's safety options afterwards
    } cases[] = {
        {"a web page, the control", true, L"VLServiceAdapter.VLServiceAdapterX", URLPOLICY_ALLOW,
         INTERFACESAFE_FOR_UNTRUSTED_CALLER},
        {"a web page, an object not safe for scripting", true, L"Scripting.Dictionary", URLPOLICY_DISALLOW, 0},
        {"a trusted page, the control", false, L"VLServiceAdapter.VLServiceAdapterX", URLPOLICY_ALLOW, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        const ComPtr<PageServices> services =
            NewComObject<PageServices>(ComPtr<IUnknown>(static_cast<IOleContainer*>(document.get())), c.untrusted);
        ComPtr<IHTMLDocument2> found;
        ASSERT_EQ(S_OK, services->QueryService(SID_SContainerDispatch, IID_IHTMLDocument2, found.put_void()));
        UniqueBstr url;
        ASSERT_EQ(S_OK, found->get_URL(url.put()));
        EXPECT_EQ(kPortalPageUrl, url.str());

        ComPtr<IInternetHostSecurityManager> security;
        ASSERT_EQ(S_OK, services->QueryService(SID_SInternetHostSecurityManager, IID_IInternetHostSecurityManager,
                                               security.put_void()));
        DWORD policy = 99;
        EXPECT_EQ(S_OK, security->ProcessUrlAction(URLACTION_ACTIVEX_RUN, reinterpret_cast<BYTE*>(&policy),
                                                   sizeof policy, nullptr, 0, 0, 0));
        EXPECT_EQ(DWORD{URLPOLICY_ALLOW}, policy);

        CLSID clsid{};
        ASSERT_EQ(S_OK, ::CLSIDFromProgID(c.progid, &clsid));
        ComPtr<IUnknown> object;
        ASSERT_EQ(S_OK, ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void()));
        CONFIRMSAFETY confirm{clsid, object.get(), 0};
        BYTE* answer = nullptr;
        DWORD size = 0;
        ASSERT_EQ(S_OK, security->QueryCustomPolicy(kConfirmObjectSafety, &answer, &size,
                                                    reinterpret_cast<BYTE*>(&confirm), sizeof confirm, 0));
        ASSERT_EQ(sizeof(DWORD), size);
        EXPECT_EQ(c.policy, *reinterpret_cast<DWORD*>(answer));
        ::CoTaskMemFree(answer);
        ComPtr<IObjectSafety> safety;
        if (SUCCEEDED(object->QueryInterface(IID_IObjectSafety, safety.put_void()))) {
            DWORD supported = 0, enabled = 99;
            ASSERT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
            EXPECT_EQ(c.enabledAfter, enabled);
        }
    }
}

// An <object>'s width and height are the control's size on the page.
TEST_F(PageHostControl, EmbedsTheControlAtTheSizeThePageGives)
{
    HostWindow window;
    ASSERT_TRUE(window.Create(L"sized", 400, 300));
    const ComPtr<PageFrame> frame = NewComObject<PageFrame>(window.Handle());
    const ComPtr<PageDocument> document = NewComObject<PageDocument>(kPortalPageUrl);
    const ComPtr<ControlSite> site = NewComObject<ControlSite>(window.Handle(), ComPtr<IOleContainer>(document.get()),
                                                               ComPtr<IOleInPlaceFrame>(frame.get()));
    ComPtr<IUnknown> control;
    ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_VLServiceAdapterX, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                       control.put_void()));
    ASSERT_EQ(S_OK, site->Embed(control.get(), POINT{20, 10}, SIZE{150, 86}));
    RECT placed{};
    ASSERT_TRUE(::GetWindowRect(site->ControlWindow(), &placed));
    ::MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ((std::vector<LONG>{20, 10, 170, 96}),
              (std::vector<LONG>{placed.left, placed.top, placed.right, placed.bottom}));
    site->Unembed();
}

TEST_F(PageHostControl, AnswersThePagesFirstCalls)
{
    const PageRun run = RunPage(R"(
        host.print("version " + control.GetVersion());
        host.print("object " + control.GetActivexObjID());
        host.print("status " + control.LoadData("UpdateStatus"));
    )", L"");
    EXPECT_EQ("version 1.1.31.362\nobject 0\nstatus Status=Waiting\n", run.output);
    EXPECT_EQ(0u, run.exitCode);
}

TEST_F(PageHostControl, ControlWindowIsAVisibleChildOfThePagesWindow)
{
    ExpectPageWindows(L"", true);
}

TEST_F(PageHostControl, ControlEventsReachTheScriptsFunctions)
{
    const PageRun run = RunPage(R"(
        var painted = 0;
        function OnPaint() { painted++; }
        host.sleep(1000);
        host.print(painted > 0 ? "painted" : "not painted");
    )", L"");
    EXPECT_EQ("painted\n", run.output);
    EXPECT_EQ(0u, run.exitCode);
}

} // namespace

namespace {

// The page library of the portal (built in the native tree beside this one) and the pages
// named in `scripts`, ahead of `code`: a page of a browser that hosts the control.
std::string PageWithLibrary(const std::string& code, std::initializer_list<const wchar_t*> scripts = {})
{
    std::string page = ReadFileBytes(BuildFile(L"../native/page_library/vlservice.js"));
    EXPECT_NE(page.find("VLService"), std::string::npos) << "the native tree's page_library/vlservice.js is missing";
    for (const wchar_t* file : scripts) page += ReadFileBytes(BuildFile(file));
    return page + code;
}

} // namespace

TEST_F(PageHostControl, PageLibraryGivesTheExtensionsPageApiOverTheControl)
{
    const PageRun run = RunPage(PageWithLibrary(R"(
        function Print(label) { return function (value) { host.print(label + " " + value); }; }
        host.print("available " + VLService.available({ control: control }) + ", without the control [" +
                   VLService.available() + "]");
        var adapter;
        VLService.connect({ control: control }).then(function (connected) {
            adapter = connected;
            host.print("versions.control " + adapter.versions.control);
            return adapter.GetVersion();
        }).then(Print("GetVersion")).then(function () {
            return adapter.SaveData("key", "value"); // before Initialize: no link
        }).then(Print("SaveData")).then(function () {
            return adapter.SendCommand(7, 1, "Echo=1");
        }).then(Print("SendCommand")).then(function () {
            RunCallCases(adapter, function (lines) { host.print(lines.join("\n")); });
        });
        // An object that is no control: the script engine's own words follow the reason.
        VLService.connect({ control: {} }).then(Print("connected"), function (error) {
            host.print(error.message.split(" (")[0]);
        });
    )", {L"pages/call_faults.js"}), L"");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(0u, run.output.find("available control, without the control []\nversions.control 1.1.31.362\n"
                                  "the vorlink! control is not installed\n"
                                  "GetVersion 1.1.31.362\nSaveData 1\nSendCommand 1\n"
                                  "ok SaveData(1, 2)\n"))
        << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("FAILED")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("ok LoadData(\"k\")\n")) << run.output; // the last case
}

// What the page library answers where the control refuses the page or is not there; the
// object tag's control is found without a call.
TEST_F(PageHostControl, PageLibraryTellsAPageWithoutTheControlFromARefusedOne)
{
    const std::string script = PageWithLibrary(R"(
        alert("available [" + VLService.available() + "]");
        VLService.connect().then(function (adapter) { alert("connected " + adapter.versions.control); },
                                 function (error) { alert("rejected: " + error.message.split(" (")[0]); });
    )");
    const struct {
        const char* what;
        const char* classid;
        const wchar_t* url;
        const char* output; // after the page host's own lines
    } cases[] = {
        {"a portal page", "0E2C8D96-BAA7-4BF6-A246-39CDF0A30D30", kPortalPageUrl,
         "available [control]\nconnected 1.1.31.362\n"},
        {"another site", "0E2C8D96-BAA7-4BF6-A246-39CDF0A30D30", L"http://www.example.com/page.html",
         "available [control]\nrejected: not a portal page\n"},
        {"no control", "00000000-0000-0000-0000-000000000001", kPortalPageUrl,
         "available []\nrejected: the vorlink! control is not installed\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PageFile file(std::string("<object id=\"VLServiceAdapter\" classid=\"clsid:") + c.classid +
                                "\"></object>\n<script>\n" + script + "</script>\n",
                            L".html");
        const PageRun run = RunPageHost(file.Arguments(L"--caller untrusted", c.url));
        EXPECT_EQ(0u, run.exitCode);
        const auto at = run.output.find("available [");
        EXPECT_EQ(c.output, at == std::string::npos ? run.output : run.output.substr(at));
    }
}
