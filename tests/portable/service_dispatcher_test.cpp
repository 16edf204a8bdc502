// One page connection of the service host, from the extension's messages to the page's
// service and back: the page contract's checks, the site lock on the extension's page
// address, the answers and events as the browser reads them.
#include "service_host/portable/service_dispatcher.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace vl;

namespace {

constexpr const char* kPortalPage = R"({"id":0,"page":"https://www.vorlink.com/games/index.html"})";
constexpr const char* kAccepted = R"({"id":0,"result":null})";
constexpr const char* kAcceptedWithVersions = R"({"id":0,"result":{"host":"1.1.31.362","kernel":"1.0.0.9"}})";

// Records each call as "Name(arguments)" and answers with fixed results, or with the fault
// the test gave for the next call; SendCommand raises an OnResult before it returns, as a
// kernel's message may arrive during a request; Initialize tells of the install page before
// it answers VLS_HAVE_TO_UPDATE.
class RecordingService final : public IPageService {
public:
    RecordingService(std::vector<std::string>& calls, std::optional<CallFault>& fault, IPageServiceEvents& events)
        : m_calls(calls), m_fault(fault), m_events(events)
    {
    }

    PageAnswer Call(const MethodCall& call) override
    {
        const std::string name(call.method->name);
        std::string recorded;
        for (const ServiceArgument& argument : call.arguments) {
            const std::wstring* text = std::get_if<std::wstring>(&argument);
            if (!recorded.empty()) recorded += ",";
            recorded += text ? std::string(text->begin(), text->end()) : std::to_string(std::get<std::uint32_t>(argument));
        }
        m_calls.push_back(name + "(" + recorded + ")");
        if (name == "Initialize") m_events.OnInstallPage(L"http://tw.vorlink.com/vorlink_block/install.aspx");
        if (name == "SendCommand")
            m_events.OnResult(std::get<std::uint32_t>(call.arguments[0]), std::get<std::uint32_t>(call.arguments[1]),
                              L"Echo=" + std::get<std::wstring>(call.arguments[2]));
        if (auto fault = std::exchange(m_fault, std::nullopt)) return {{}, true, fault};
        const struct {
            const char* method;
            PageResult result;
        } results[] = {
            {"Initialize", 2u}, {"Initialize2", 0u}, {"SaveData", 0u}, {"LoadData", L"v\"\x00e9\xD83D\xDE00"},
            {"SendCommand", 0u}, {"ClearData", 1u}, {"GetActivexObjID", 4294967295u}, {"CheckRegionInfo", 8u},
            {"GetVersion", L"1.1.31.362"},
        };
        for (const auto& r : results)
            if (name == r.method) return {r.result};
        return {}; // Uninitialize, SetUpdatorVersion
    }
    ServiceVersions Versions() override { return {L"1.1.31.362", L"1.0.0.9"}; } // no call of the page

private:
    std::vector<std::string>& m_calls;
    std::optional<CallFault>& m_fault;
    IPageServiceEvents& m_events;
};

class ServiceDispatcherTest : public ::testing::Test {
protected:
    // A dispatcher whose pages get a RecordingService and whose messages go to m_sent.
    ServiceDispatcher Dispatcher(bool developmentMode = false)
    {
        return ServiceDispatcher(
            [this](const std::wstring& page, IPageServiceEvents& events) {
                m_pages.emplace_back(page.begin(), page.end());
                return std::make_unique<RecordingService>(m_calls, m_fault, events);
            },
            [this](const std::string& json) { m_sent.push_back(json); }, developmentMode);
    }

    // What the dispatcher sends for the messages, in order.
    std::vector<std::string> Exchange(ServiceDispatcher& dispatcher, const std::vector<std::string>& messages)
    {
        m_sent.clear();
        for (const std::string& message : messages) dispatcher.Receive(NativeMessage{message, 0, false});
        return m_sent;
    }

    std::vector<std::string> m_calls;
    std::vector<std::string> m_pages;
    std::vector<std::string> m_sent;
    std::optional<CallFault> m_fault; // the service's answer to the next call
};

} // namespace

TEST_F(ServiceDispatcherTest, CallsEachMethodWithTheContractsArgumentsAndAnswersItsResult)
{
    ServiceDispatcher dispatcher = Dispatcher();
    const std::vector<std::string> sent = Exchange(dispatcher, {
        kPortalPage,
        R"({"id":1,"method":"SetUpdatorVersion","args":["2.0.1.7"]})",
        R"({"id":2,"method":"Initialize","args":["TW;Production","1.0.0.10","",10000]})",
        R"({"method":"Initialize2","args":["TW;Production","1.0.0.10","x",0,"http://p/"],"id":3})",
        R"({"id":4,"method":"SaveData","args":["k","v\u0000"]})",
        R"({"id":5,"method":"SaveData","args":["k","v"]})",
        R"({"id":6,"method":"LoadData","args":["k"]})",
        R"({"id":7,"method":"SendCommand","args":[4294967295,7,"a&b"]})",
        R"({"id":8,"method":"ClearData","args":["k"]})",
        R"({"id":9,"method":"GetActivexObjID"})",
        R"({"id":10,"method":"CheckRegionInfo","args":[]})",
        R"({"id":11,"method":"GetVersion"})",
        R"({"id":9007199254740991,"method":"Uninitialize"})",
    });
    EXPECT_EQ(m_pages, std::vector<std::string>{"https://www.vorlink.com/games/index.html"});
    EXPECT_EQ(m_calls, (std::vector<std::string>{
                           "SetUpdatorVersion(2.0.1.7)", "Initialize(TW;Production,1.0.0.10,,10000)",
                           "Initialize2(TW;Production,1.0.0.10,x,0,http://p/)", "SaveData(k,v)", "LoadData(k)",
                           "SendCommand(4294967295,7,a&b)", "ClearData(k)", "GetActivexObjID()", "CheckRegionInfo()",
                           "GetVersion()", "Uninitialize()"}));
    EXPECT_EQ(sent, (std::vector<std::string>{
                        kAcceptedWithVersions,
                        R"({"id":1,"result":null})",
                        R"({"event":"InstallPage","address":"http://tw.vorlink.com/vorlink_block/install.aspx"})",
                        R"({"id":2,"result":2})",
                        R"({"id":3,"result":0})",
                        R"({"id":4,"error":"bad message: NUL character in text at byte 42"})",
                        R"({"id":5,"result":0})",
                        "{\"id\":6,\"result\":\"v\\\"\xC3\xA9\xF0\x9F\x98\x80\"}",
                        R"({"event":"OnResult","cmd":4294967295,"serial":7,"params":"Echo=a&b"})",
                        R"({"id":7,"result":0})",
                        R"({"id":8,"result":1})",
                        R"({"id":9,"result":4294967295})",
                        R"({"id":10,"result":8})",
                        R"({"id":11,"result":"1.1.31.362"})",
                        R"({"id":9007199254740991,"result":null})",
                    }));
}

TEST_F(ServiceDispatcherTest, AnswersEachBadMessageWithAClearErrorAndServesOn)
{
    struct Case {
        std::string message;
        std::string answer;
    };
    const Case cases[] = {
        {"{\"id\":1,", R"({"id":1,"error":"bad message: unexpected end of text at byte 8"})"},
        {"{\"id\":1 ", R"({"id":null,"error":"bad message: unexpected end of text at byte 8"})"},
        {"[1]", R"({"id":null,"error":"bad message: not an object"})"},
        {R"({"method":"GetVersion"})", R"({"id":null,"error":"bad message: \"id\" must be a whole number from 0 to 9007199254740991"})"},
        {R"({"id":-1,"method":"GetVersion"})", R"({"id":null,"error":"bad message: \"id\" must be a whole number from 0 to 9007199254740991"})"},
        {R"({"id":1.5,"method":"GetVersion"})", R"({"id":null,"error":"bad message: \"id\" must be a whole number from 0 to 9007199254740991"})"},
        {R"({"id":9007199254740992,"method":"GetVersion"})", R"({"id":null,"error":"bad message: \"id\" must be a whole number from 0 to 9007199254740991"})"},
        {R"({"id":"1","method":"GetVersion"})", R"({"id":null,"error":"bad message: \"id\" must be a whole number from 0 to 9007199254740991"})"},
        {R"({"id":1})", R"({"id":1,"error":"bad message: neither \"method\" nor \"page\""})"},
        {R"({"id":1,"method":"GetVersion","extra":0})", R"({"id":1,"error":"bad message: unexpected member"})"},
        {R"({"id":1,"method":"GetVersion","page":"http://www.vorlink.com/"})", R"({"id":1,"error":"bad message: unexpected member"})"},
        {R"({"id":1,"method":7})", R"({"id":1,"error":"\"method\" must be a text"})"},
        {R"({"id":1,"method":"Shutdown"})", R"({"id":1,"error":"unknown method"})"},
        {R"({"id":1,"method":"getVersion"})", R"({"id":1,"error":"unknown method"})"},
        {R"({"id":1,"method":"Visible"})", R"({"id":1,"error":"unknown method"})"},
        {R"({"id":1,"method":"LoadData","args":"k"})", R"({"id":1,"error":"\"args\" must be an array"})"},
        {R"({"id":1,"method":"LoadData"})", R"({"id":1,"error":"LoadData takes 1 argument"})"},
        {R"({"id":1,"method":"SaveData","args":["k","v","w"]})", R"({"id":1,"error":"SaveData takes 2 arguments"})"},
        {R"({"id":1,"method":"GetVersion","args":[1]})", R"({"id":1,"error":"GetVersion takes 0 arguments"})"},
        {R"({"id":1,"method":"SaveData","args":[1,"v"]})", R"({"id":1,"error":"argument 1 of SaveData (szKey) must be a text"})"},
        {R"({"id":1,"method":"LoadData","args":[null]})", R"({"id":1,"error":"argument 1 of LoadData (szKey) must be a text"})"},
        {R"({"id":1,"method":"SendCommand","args":["5",0,""]})", R"({"id":1,"error":"argument 1 of SendCommand (dwCmd) must be a whole number from 0 to 4294967295"})"},
        {R"({"id":1,"method":"SendCommand","args":[5,-1,""]})", R"({"id":1,"error":"argument 2 of SendCommand (dwSerialNum) must be a whole number from 0 to 4294967295"})"},
        {R"({"id":1,"method":"SendCommand","args":[4294967296,0,""]})", R"({"id":1,"error":"argument 1 of SendCommand (dwCmd) must be a whole number from 0 to 4294967295"})"},
        {R"({"id":1,"method":"Initialize","args":["","","",0.5]})", R"({"id":1,"error":"argument 4 of Initialize (dwTimeout) must be a whole number from 0 to 4294967295"})"},
        {R"({"id":1,"method":"Initialize2","args":["","","",0,true]})", R"({"id":1,"error":"argument 5 of Initialize2 (szClientSite) must be a text"})"},
        {R"({"id":1,"page":"http://www.vorlink.com/"})", R"({"id":1,"error":"the page address is given already"})"},
        {R"({"id":1,"method":"GetVersion"})", R"({"id":1,"result":"1.1.31.362"})"},
    };
    ServiceDispatcher dispatcher = Dispatcher();
    Exchange(dispatcher, {kPortalPage});
    for (const Case& c : cases) EXPECT_EQ(Exchange(dispatcher, {c.message}), std::vector<std::string>{c.answer}) << c.message;
    EXPECT_EQ(m_calls, std::vector<std::string>{"GetVersion()"});
}

// A service's fault is the page's error: the text argument, named as the contract names
// it, that the kernel's code page cannot carry, or the message lost with the link.
TEST_F(ServiceDispatcherTest, AServicesFaultIsAnsweredAsAnErrorNamingItsCause)
{
    using Kind = CallFault::Kind;
    const std::string carry = " has characters the kernel's code page cannot carry\"}";
    const std::string lost = "the link to the kernel has ended: the message did not go out whole\"}";
    struct Case {
        std::string message;
        CallFault fault;
        std::vector<std::string> answers;
    };
    const Case cases[] = {
        {R"({"id":1,"method":"SaveData","args":["k","v"]})", {Kind::TextNotCarried, 1},
         {R"({"id":1,"error":"argument 2 of SaveData (szValue))" + carry}},
        {R"({"id":2,"method":"LoadData","args":["k"]})", {Kind::TextNotCarried, 0},
         {R"({"id":2,"error":"argument 1 of LoadData (szKey))" + carry}},
        {R"({"id":3,"method":"Initialize2","args":["TW;Production","1.0.0.10","",0,"p"]})", {Kind::TextNotCarried, 4},
         {R"({"id":3,"error":"argument 5 of Initialize2 (szClientSite))" + carry}},
        // What came from the kernel before the message was lost still reaches the page.
        {R"({"id":4,"method":"SendCommand","args":[2,0,"p"]})", {Kind::MessageLost, 0},
         {R"({"event":"OnResult","cmd":2,"serial":0,"params":"Echo=p"})", R"({"id":4,"error":")" + lost}},
        {R"({"id":5,"method":"CheckRegionInfo"})", {Kind::MessageLost, 0}, {R"({"id":5,"error":")" + lost}},
        // A position the method has no argument at names none.
        {R"({"id":6,"method":"ClearData","args":["k"]})", {Kind::TextNotCarried, 7},
         {R"({"id":6,"error":"a text the kernel's code page cannot carry"})"}},
    };
    ServiceDispatcher dispatcher = Dispatcher();
    Exchange(dispatcher, {kPortalPage});
    for (const Case& c : cases) {
        m_fault = c.fault;
        EXPECT_EQ(Exchange(dispatcher, {c.message}), c.answers) << c.message;
    }
}

TEST_F(ServiceDispatcherTest, AnOversizedMessageIsAnsweredUnderItsIdWhenItsStartNamesIt)
{
    struct Case {
        std::string start;
        std::string id;
    };
    const Case cases[] = {
        {R"({"id":42,"method":"SaveData","args":["k","vvvv)", "42"},
        {R"({"id":9007199254740991,"method")", "9007199254740991"},
        {R"({"id":9007199254740992,"method")", "null"},
        {R"({"id":042,"method")", "null"},
        {R"({ "id":42,"method")", "null"},
        {R"({"id":42)", "null"}, // the start ends inside the number
        {R"({"method":"SaveData","id":42)", "null"},
    };
    ServiceDispatcher dispatcher = Dispatcher();
    Exchange(dispatcher, {kPortalPage});
    for (const Case& c : cases) {
        m_sent.clear();
        dispatcher.Receive(NativeMessage{c.start, 2000000, true});
        EXPECT_EQ(m_sent, std::vector<std::string>{R"({"id":)" + c.id + R"(,"error":"message too large: more than 1048576 bytes"})"})
            << c.start;
    }
    EXPECT_TRUE(m_calls.empty());
}

TEST_F(ServiceDispatcherTest, OnlyThePortalsPagesGetAService)
{
    struct Case {
        std::vector<std::string> messages;
        std::vector<std::string> answers;
    };
    const Case cases[] = {
        // Nothing before the page address.
        {{R"({"id":1,"method":"GetVersion"})"}, {R"({"id":1,"error":"no page address yet"})"}},
        // A page the site lock refuses stays refused, whatever comes later.
        {{R"({"id":0,"page":"https://www.vorlink.com.evil.example/"})", R"({"id":1,"method":"GetVersion"})",
          R"({"id":2,"page":"https://www.vorlink.com/"})"},
         {R"({"id":0,"error":"not a portal page"})", R"({"id":1,"error":"not a portal page"})",
          R"({"id":2,"error":"the page address is given already"})"}},
        {{R"({"id":0,"page":7})"}, {R"({"id":0,"error":"bad message: \"page\" must be a text"})"}},
    };
    for (const Case& c : cases) {
        ServiceDispatcher dispatcher = Dispatcher();
        EXPECT_EQ(Exchange(dispatcher, c.messages), c.answers) << c.messages.front();
    }
    EXPECT_TRUE(m_pages.empty());
    EXPECT_TRUE(m_calls.empty());
}

TEST_F(ServiceDispatcherTest, PagesComeOverHttpsOnlyAndADevelopmentSitesAlsoOverHttpInDevelopmentMode)
{
    constexpr const char* kNotHttps = R"({"id":0,"error":"not a portal page: not served over HTTPS"})";
    constexpr const char* kRefused = R"({"id":0,"error":"not a portal page"})";
    struct Case {
        const char* page;
        const char* normal;
        const char* development;
    };
    const Case cases[] = {
        {"https://www.vorlink.com/index.html", kAcceptedWithVersions, kAcceptedWithVersions},
        {"https://TW.vorlink.com:443/", kAcceptedWithVersions, kAcceptedWithVersions},
        {"http://www.vorlink.com/index.html", kNotHttps, kNotHttps},
        {"HTTP://tw.vorlink.com/", kNotHttps, kNotHttps},
        {"https://dev.us.vorlink.net/", kRefused, kAcceptedWithVersions},
        {"http://dev.us.vorlink.net/", kRefused, kAcceptedWithVersions},
        {"https://www.vorlink.com:80/", kRefused, kRefused},
        {"https://www.vorlink.com:8080/", kRefused, kRefused},
        {"file:///C:/portal.html", kRefused, kRefused},
        {"ftp://www.vorlink.com/", kRefused, kRefused},
    };
    for (const Case& c : cases) {
        for (const bool developmentMode : {false, true}) {
            ServiceDispatcher dispatcher = Dispatcher(developmentMode);
            const std::string message = R"({"id":0,"page":")" + std::string(c.page) + "\"}";
            EXPECT_EQ(Exchange(dispatcher, {message}), std::vector<std::string>{developmentMode ? c.development : c.normal})
                << c.page << (developmentMode ? " in development mode" : "");
        }
    }
}

TEST(ServiceDispatcher, WithoutAServiceAPortalPageIsToldSo)
{
    std::vector<std::string> sent;
    ServiceDispatcher dispatcher(nullptr, [&sent](const std::string& json) { sent.push_back(json); }, false);
    dispatcher.Receive(NativeMessage{kPortalPage, 0, false});
    dispatcher.Receive(NativeMessage{R"({"id":1,"method":"GetVersion"})", 0, false});
    dispatcher.Close();
    EXPECT_EQ(sent, (std::vector<std::string>{kAccepted, R"({"id":1,"error":"the vorlink! service is not available"})"}));
}

TEST_F(ServiceDispatcherTest, AClosedPortLeavesTheKernelOnlyForAPageStillInitialized)
{
    struct Case {
        std::vector<std::string> messages;
        bool leaves;
    };
    const Case cases[] = {
        {{}, false},
        {{R"({"id":1,"method":"Initialize","args":["TW;Production","1.0.0.10","",0]})"}, true},
        {{R"({"id":1,"method":"Initialize2","args":["TW;Production","1.0.0.10","",0,""]})"}, true},
        {{R"({"id":1,"method":"Initialize","args":["TW;Production","1.0.0.10","",0]})", R"({"id":2,"method":"Uninitialize"})"}, false},
    };
    for (const Case& c : cases) {
        ServiceDispatcher dispatcher = Dispatcher();
        Exchange(dispatcher, {kPortalPage});
        Exchange(dispatcher, c.messages);
        const std::size_t before = m_calls.size();
        dispatcher.Close();
        const std::vector<std::string> atClose(m_calls.begin() + static_cast<std::ptrdiff_t>(before), m_calls.end());
        EXPECT_EQ(atClose, c.leaves ? std::vector<std::string>{"Uninitialize()"} : std::vector<std::string>{})
            << c.messages.size();
    }
}
