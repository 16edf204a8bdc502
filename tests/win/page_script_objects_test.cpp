// The page host's objects for page script, in this process: the command line, the timers,
// the window, document and location objects as JScript and VBScript reach them, the
// handlers of an object's events, and the element that stands for an object on the page.
// ctest-link: pagehost_objects
#include <gtest/gtest.h>
#include <windows.h>
#include <activscp.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "com_new.h"
#include "control_element.h"
#include "event_handlers.h"
#include "page_options.h"
#include "page_timers.h"
#include "script_document.h"
#include "script_host.h"
#include "script_location.h"
#include "script_window.h"
#include "fixtures/result_event.h"
#include "support/win_handles.h"

using namespace vl;
using namespace vl::pagehost;

namespace {

TEST(PageOptions, AFlagAmongValuedOptionsAndThePageKindByItsName)
{
    const struct {
        std::vector<std::wstring> arguments;
        bool valid;
        bool html, recordBrowser, untrusted;
    } cases[] = {
        {{L"--url", L"u", L"--script", L"p.js"}, true, false, false, false},
        {{L"--url", L"u", L"--script", L"P.HTML", L"--record-browser", L"--caller", L"untrusted"}, true, true, true, true},
        {{L"--record-browser", L"--url", L"u", L"--script", L"page.htm"}, true, true, true, false},
        {{L"--url", L"u", L"--script", L"page.html.js"}, true, false, false, false},
        {{L"--url", L"u", L"--script", L"p.js", L"--caller"}, false, false, false, false},
        {{L"--url", L"u", L"--script", L"p.js", L"--caller", L"admin"}, false, false, false, false},
        {{L"--url", L"u", L"--script", L"p.js", L"--name", L""}, false, false, false, false},
        {{L"--url", L"u"}, false, false, false, false},
    };
    for (const auto& c : cases) {
        const std::optional<PageOptions> options = ParsePageOptions(c.arguments);
        ASSERT_EQ(c.valid, options.has_value()) << c.arguments.size();
        if (!options) continue;
        EXPECT_EQ(c.html, options->htmlPage);
        EXPECT_EQ(c.recordBrowser, options->recordBrowser);
        EXPECT_EQ(c.untrusted, options->untrustedCaller);
    }
}

TEST(PageTimers, DueTimersRunInTheOrderTheyFellDueAndIntervalsStay)
{
    PageTimers timers;
    EXPECT_FALSE(timers.Pending());
    EXPECT_EQ(INFINITE, timers.MillisecondsToNext());
    const LONG later = timers.Add({}, L"later", ScriptLanguage::JScript, 60000, false);
    const LONG every = timers.Add({}, L"every", ScriptLanguage::VBScript, 0, true);
    const LONG once = timers.Add({}, L"once", ScriptLanguage::JScript, 0, false);
    EXPECT_EQ((std::vector<LONG>{1, 2, 3}), (std::vector<LONG>{later, every, once}));
    EXPECT_EQ(0u, timers.MillisecondsToNext());

    std::vector<PageTimers::Timer> due = timers.TakeDue();
    ASSERT_EQ(2u, due.size());
    EXPECT_EQ(L"every", due[0].code);
    EXPECT_EQ(ScriptLanguage::VBScript, due[0].language);
    EXPECT_EQ(L"once", due[1].code);
    // The interval is set again, at least a millisecond on; the one-off is gone.
    EXPECT_TRUE(timers.TakeDue().empty());
    for (int waited = 0; (due = timers.TakeDue()).empty() && waited < 1000; ++waited) ::Sleep(1);
    ASSERT_EQ(1u, due.size());
    EXPECT_EQ(every, due[0].id);

    timers.Remove(every);
    timers.Remove(999);
    EXPECT_GT(timers.MillisecondsToNext(), 50000u);
    timers.Remove(later);
    EXPECT_FALSE(timers.Pending());
}

// A page's script engines with the window as their globals, an element named "known", and
// a dictionary "seen" that handlers write to.
class PageScript : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_element = NewComObject<ControlElement>(std::make_shared<EventHandlers>(nullptr, nullptr));
        const ComPtr<LocationObject> location = NewComObject<LocationObject>(kUrl);
        m_document = NewComObject<DocumentObject>(ComPtr<IDispatch>(location.get()), kUrl, [this](const std::wstring& id) {
            return ComPtr<IDispatch>(id == L"known" ? m_element.get() : nullptr);
        });
        m_window = NewComObject<WindowObject>(m_timers, ComPtr<IDispatch>(m_document.get()), ComPtr<IDispatch>(location.get()));
        CLSID dictionary{};
        ASSERT_EQ(S_OK, ::CLSIDFromProgID(L"Scripting.Dictionary", &dictionary));
        ASSERT_EQ(S_OK, ::CoCreateInstance(dictionary, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, m_seen.put_void()));
        for (ComPtr<ScriptHost>* engine : {&m_jscript, &m_vbscript}) {
            *engine = NewComObject<ScriptHost>(nullptr, engine == &m_jscript ? ScriptLanguage::JScript
                                                                              : ScriptLanguage::VBScript);
            ASSERT_EQ(S_OK, (*engine)->Start({{L"window", ComPtr<IUnknown>(static_cast<IDispatch*>(m_window.get())),
                                                SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS},
                                               {L"seen", ComPtr<IUnknown>(m_seen.get()), SCRIPTITEM_ISVISIBLE}}));
        }
    }
    void TearDown() override
    {
        m_jscript->Close();
        m_vbscript->Close();
        m_window->Detach();
        m_document->Detach();
        EXPECT_EQ(0u, m_jscript->Errors());
        EXPECT_EQ(0u, m_vbscript->Errors());
    }

    // A JScript expression's value as text.
    std::wstring Evaluate(const std::wstring& expression)
    {
        EXPECT_EQ(S_OK, m_jscript->Run(L"function evaluated() { return String(" + expression + L"); }"));
        UniqueVariant value;
        DISPPARAMS none{};
        EXPECT_EQ(S_OK, m_jscript->CallFunction(L"evaluated", none, value.put()));
        return V_VT(value.get()) == VT_BSTR ? BstrText(V_BSTR(value.get())) : L"?";
    }

    static constexpr const wchar_t* kUrl = L"http://tw.vorlink.com/page.html";
    PageTimers m_timers;
    ComPtr<ControlElement> m_element;
    ComPtr<DocumentObject> m_document;
    ComPtr<WindowObject> m_window;
    ComPtr<IDispatch> m_seen;
    ComPtr<ScriptHost> m_jscript;
    ComPtr<ScriptHost> m_vbscript;
};

TEST_F(PageScript, TheWindowsMembersAreTheScriptsGlobals)
{
    ASSERT_EQ(S_OK, m_jscript->Run(LR"js(
        window.onload = function () {};
        onunload_set = (window.onunload = function () {}) != null;
        var first = setTimeout("later()", 100000);
        var second = window.setInterval(function () {}, 100000, "JScript");
        clearTimeout(first);
    )js"));
    EXPECT_TRUE(m_window->Handler(WindowObject::kOnLoad));
    EXPECT_TRUE(m_window->Handler(WindowObject::kOnUnload));
    EXPECT_EQ(L"1 2", Evaluate(L"first + ' ' + second"));
    // One timer left: the interval, a function.
    EXPECT_TRUE(m_timers.Pending());
    m_timers.Remove(2);
    EXPECT_FALSE(m_timers.Pending());

    EXPECT_EQ(std::wstring(kUrl) + L" " + kUrl + L" " + kUrl + L" " + kUrl,
              Evaluate(L"location.href + ' ' + location + ' ' + document.URL + ' ' + document.location.href"));
    EXPECT_EQ(L"true null", Evaluate(L"(document.getElementById('known') != null) + ' ' + document.getElementById('x')"));
    EXPECT_EQ(L"object", Evaluate(L"typeof window.document"));

    // VBScript reads the same, and may call a property the way it calls a function.
    ASSERT_EQ(S_OK, m_vbscript->Run(L"seen.Add \"href\", location.href()\nseen.Add \"URL\", document.url\n"));
    EXPECT_EQ(std::wstring(kUrl) + L"," + kUrl, Evaluate(L"seen.Item('href') + ',' + seen.Item('URL')"));
}

TEST_F(PageScript, MembersRefuseWhatTheyDoNotTake)
{
    DISPID id = 0;
    // Names in any letter case, as VBScript writes them.
    LPOLESTR location[] = {const_cast<LPOLESTR>(L"LOCATION")};
    ASSERT_EQ(S_OK, m_window->GetIDsOfNames(IID_NULL, location, 1, 0, &id));

    VARIANT value;
    V_VT(&value) = VT_I4;
    V_I4(&value) = 1;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS putParams{&value, &put, 1, 1};
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              m_window->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &putParams, nullptr, nullptr, nullptr));
    DISPPARAMS unnamed{&value, nullptr, 1, 0};
    LPOLESTR onload[] = {const_cast<LPOLESTR>(L"onload")};
    ASSERT_EQ(S_OK, m_window->GetIDsOfNames(IID_NULL, onload, 1, 0, &id));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT,
              m_window->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr));
    UINT argError = 99;
    EXPECT_EQ(DISP_E_TYPEMISMATCH,
              m_window->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &putParams, nullptr, nullptr, &argError));
    EXPECT_EQ(0u, argError);
    DISPPARAMS none{};
    LPOLESTR alert[] = {const_cast<LPOLESTR>(L"setTimeout")};
    ASSERT_EQ(S_OK, m_window->GetIDsOfNames(IID_NULL, alert, 1, 0, &id));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, m_window->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"navigate")};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, m_window->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id));
}

TEST_F(PageScript, HandlersOfAnEventRunTheWaysTheyWereBound)
{
    ASSERT_EQ(S_OK, m_jscript->Run(LR"js(
        function named(cmd, serial, params) { seen.Add("named", params); }
        var attached = function (cmd, serial, params) { seen.Add("attached", cmd); return 65; };
        var other = function () { seen.Add("other", "never"); };
    )js"));
    ASSERT_EQ(S_OK, m_vbscript->Run(L"Sub obj_OnResult(cmd, serial, params)\nseen.Add \"vbscript\", serial\nEnd Sub\n"));
    int raised = 0;
    EventHandlers handlers(m_jscript, [&] { ++raised; });
    handlers.AddNamingRule(m_vbscript, L"obj_");
    handlers.AddFunction(L"OnResult", m_jscript, L"named");
    handlers.AddFunction(L"OnPaint", m_jscript, L"named");
    const auto global = [&](const wchar_t* name) {
        UniqueVariant value;
        DISPPARAMS none{};
        m_jscript->Run(std::wstring(L"function get_it() { return ") + name + L"; }");
        m_jscript->CallFunction(L"get_it", none, value.put());
        return ComPtr<IDispatch>(V_DISPATCH(value.get()));
    };
    const ComPtr<IDispatch> attached = global(L"attached"), other = global(L"other");
    handlers.Attach(L"onresult", attached); // names in any letter case
    handlers.Attach(L"OnResult", other);
    EXPECT_TRUE(handlers.Detach(L"ONRESULT", other.get()));
    EXPECT_FALSE(handlers.Detach(L"OnResult", other.get()));

    // As the page's sink hands them on: numbers as scripts take them.
    vl::test::ResultEvent event(VT_I4, 2, 7, L"Echo=x");
    std::vector<LONG> results;
    handlers.Raise(L"OnResult", event.Params(), [&](VARIANT& value) {
        results.push_back(V_VT(&value) == VT_I4 ? V_I4(&value) : -1);
    });
    EXPECT_EQ(1, raised);
    ASSERT_EQ(S_OK, m_jscript->Run(LR"js(
        function LogText() {
            var keys = (new VBArray(seen.Keys())).toArray(), text = [];
            for (var i = 0; i < keys.length; i++) text.push(keys[i] + "=" + seen.Item(keys[i]));
            return text.join(" ");
        }
    )js"));
    EXPECT_EQ(L"vbscript=7 named=Echo=x attached=2", Evaluate(L"LogText()"));
    // Each handler's value is handed back; those without one give none.
    EXPECT_EQ((std::vector<LONG>{-1, -1, 65}), results);
}

TEST_F(PageScript, AnElementWithoutItsObjectAnswersOnlyForItsEvents)
{
    DISPID id = 0;
    LPOLESTR name[] = {const_cast<LPOLESTR>(L"GetVersion")};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, m_element->GetIDsOfNames(IID_NULL, name, 1, 0, &id));
    UINT count = 9;
    EXPECT_EQ(S_OK, m_element->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, m_element->Invoke(227, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr,
                                                       nullptr));

    // attachEvent takes a name and a function, nothing else.
    ASSERT_EQ(S_OK, m_jscript->Run(LR"js(
        var element = document.getElementById("known");
        var answers = [String(element.attachEvent("OnResult", function () {}))];
        try { element.attachEvent("OnResult", "not a function"); } catch (e) { answers.push((e.number >>> 0).toString(16)); }
        try { element.attachEvent("OnResult"); } catch (e) { answers.push((e.number >>> 0).toString(16)); }
        try { element.GetVersion(); } catch (e) { answers.push((e.number >>> 0).toString(16)); }
    )js"));
    EXPECT_EQ(L"true,80020005,8002000e,800a01b6", Evaluate(L"answers.join()"));
}

} // namespace
