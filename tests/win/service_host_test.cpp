// VLServiceHost.exe as the browser runs it: framed JSON on its standard input and output,
// kept binary, answers in order, long or deeply nested messages refused without ending the
// connection, messages beyond the waiting bound answered "busy" while a request blocks, a
// clean end when the browser closes the port, a page's requests reaching the stand-in
// kernel with the control's wire, a refusal when started for another extension, and a
// manifest and version resource of its own.
// ctest: RESOURCE_LOCK product_state
// ctest-trust: test root
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "extension_identity.h"
#include "fixtures/child_process.h"
#include "fixtures/kernel_journal.h"
#include "fixtures/module_resource.h"
#include "fixtures/product_state.h"
#include "fixtures/test_paths.h"
#include "module_version.h"
#include "service_host/portable/json_reader.h"
#include "support/widget_utility.h"
#include "support/win_handles.h"

using namespace vl;
using vl::test::KernelJournal;

namespace {

constexpr DWORD kAnswerLimitMs = 10000;
constexpr const char* kPortalPage = R"({"id":0,"page":"https://www.vorlink.com/index.html"})";

// The answer that accepts the portal page: the host's version and the installed kernel's.
std::string Accepted(std::string_view kernelVersion)
{
    return R"({"id":0,"result":{"host":")" VL_MODULE_VERSION_TEXT R"(","kernel":")" + std::string(kernelVersion) + "\"}}";
}

// The host with both standard handles on pipes the test holds, started as Chromium starts
// it for the vorlink! extension unless told otherwise.
class HostProcess {
public:
    explicit HostProcess(const std::wstring& arguments = VL_EXTENSION_ORIGIN_WTEXT L" --parent-window=0",
                         const test::EnvironmentOverrides& environment = {})
        : m_child(Start(arguments, environment))
    {
    }

    bool Started() const { return m_child && m_child->Started(); }

    void SendBytes(const std::string& bytes)
    {
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(m_input.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ASSERT_EQ(written, bytes.size());
    }

    static std::string Framed(std::string_view json, std::optional<std::uint32_t> length = std::nullopt)
    {
        const std::uint32_t announced = length.value_or(static_cast<std::uint32_t>(json.size()));
        std::string framed(4, '\0');
        std::memcpy(framed.data(), &announced, 4);
        return framed + std::string(json);
    }

    // The next message, or "(none)" when none came in time.
    std::string Receive()
    {
        std::string length = ReadExactly(4);
        if (length.size() != 4) return "(none)";
        std::uint32_t size = 0;
        std::memcpy(&size, length.data(), 4);
        std::string message = ReadExactly(size);
        return message.size() == size ? message : "(cut)";
    }

    void CloseInput() { m_input.reset(); }

    // The exit code once the host has ended; 99 when it was still running after `ms`.
    DWORD Finish(DWORD ms) { return m_child->Finish(ms); }

private:
    // The host with its standard input and output on pipes whose other ends are kept.
    std::unique_ptr<test::ChildProcess> Start(const std::wstring& arguments, const test::EnvironmentOverrides& environment)
    {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        UniqueHandle childInput, childOutput;
        if (!::CreatePipe(childInput.put(), m_input.put(), &inheritable, 0) ||
            !::CreatePipe(m_output.put(), childOutput.put(), &inheritable, 0))
            return nullptr;
        ::SetHandleInformation(m_input.get(), HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(m_output.get(), HANDLE_FLAG_INHERIT, 0);
        return std::make_unique<test::ChildProcess>(
            test::BuildFile(L"VLServiceHost.exe"), arguments,
            test::ChildOptions{environment, childInput.get(), childOutput.get(), ::GetStdHandle(STD_ERROR_HANDLE)});
    }

    std::string ReadExactly(std::size_t size)
    {
        std::string bytes;
        const DWORD start = ::GetTickCount();
        while (bytes.size() < size && ::GetTickCount() - start < kAnswerLimitMs) {
            DWORD available = 0;
            if (!::PeekNamedPipe(m_output.get(), nullptr, 0, nullptr, &available, nullptr)) break;
            if (available == 0) {
                ::Sleep(5);
                continue;
            }
            std::string chunk(std::min<std::size_t>(available, size - bytes.size()), '\0');
            DWORD read = 0;
            if (!::ReadFile(m_output.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr)) break;
            bytes.append(chunk.data(), read);
        }
        return bytes;
    }

    UniqueHandle m_input, m_output;
    std::unique_ptr<test::ChildProcess> m_child; // after the pipes, which it fills
};

class ServiceHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        vl::test::ResetProductState(); // no kernel: the page is accepted with none
        m_host.emplace();
        ASSERT_TRUE(m_host->Started());
    }
    std::optional<HostProcess> m_host; // started after the reset: it reads the product state
};

} // namespace

TEST_F(ServiceHostTest, AnswersEachMessageInOrderOverBinaryPipes)
{
    struct Case {
        std::string message;
        std::string answer;
    };
    // Lengths of 10, 13 and 26 bytes put a line feed, a carriage return and a Ctrl-Z into
    // the length field, which a text-mode stream would turn or take for the end.
    const Case cases[] = {
        {kPortalPage, Accepted("")},
        {"[\r\n1,2\r\n]", R"({"id":null,"error":"bad message: not an object"})"},
        {R"({"id":1,"m":0})", R"({"id":1,"error":"bad message: unexpected member"})"},
        {R"({"id":2,"method":"x"})", R"({"id":2,"error":"unknown method"})"},
        {R"({"id":3,"method":"GetVersion"})", R"({"id":3,"result":")" VL_MODULE_VERSION_TEXT R"("})"},
        {R"({"id":4,"method":"SaveData","args":["k\u0000","v"]})", R"({"id":4,"error":"bad message: NUL character in text at byte 38"})"},
        // Read whole: a character outside the plane is no text the system's code page carries.
        {"{\"id\":5,\"method\":\"LoadData\",\"args\":[\"\xC3\xA9\xF0\x9F\x98\x80\"]}",
         R"({"id":5,"error":"argument 1 of LoadData (szKey) has characters the kernel's code page cannot carry"})"},
        {"{\"id\":6,\"method\":\"LoadData\",\"args\":[\"\xC3\xA9\"]}", R"({"id":6,"result":"Failure"})"}, // not linked yet
    };
    std::string all;
    for (const Case& c : cases) all += HostProcess::Framed(c.message);
    all += HostProcess::Framed(std::string(13, ' ')) + HostProcess::Framed(std::string(26, ' '));
    m_host->SendBytes(all);
    for (const Case& c : cases) EXPECT_EQ(m_host->Receive(), c.answer) << c.message;
    EXPECT_EQ(m_host->Receive(), R"({"id":null,"error":"bad message: unexpected end of text at byte 13"})");
    EXPECT_EQ(m_host->Receive(), R"({"id":null,"error":"bad message: unexpected end of text at byte 26"})");
}

TEST_F(ServiceHostTest, RefusesAMessageAboveTheBoundOrNestedTooDeepAndServesOn)
{
    const std::string longMessage = R"({"id":7,"method":"SaveData","args":["k",")" + std::string(1024 * 1024, 'v') + "\"]}";
    // Objects that each open the next, up to the size bound: read no deeper than the bound.
    std::string nested = R"({"id":9,"a":)";
    while (nested.size() + 5 <= 1024 * 1024) nested += R"({"a":)";
    m_host->SendBytes(HostProcess::Framed(kPortalPage) + HostProcess::Framed(longMessage) + HostProcess::Framed(nested) +
                     HostProcess::Framed(R"({"id":8,"method":"GetVersion"})"));
    EXPECT_EQ(m_host->Receive(), Accepted(""));
    EXPECT_EQ(m_host->Receive(), R"({"id":7,"error":"message too large: more than 1048576 bytes"})");
    EXPECT_EQ(m_host->Receive(), R"({"id":9,"error":"bad message: nested too deep at byte )" +
                                    std::to_string(12 + 5 * (kMaxJsonDepth - 1)) + "\"}");
    EXPECT_EQ(m_host->Receive(), R"({"id":8,"result":")" VL_MODULE_VERSION_TEXT R"("})");
}

TEST(ServiceHost, WhileARequestWaitsMessagesBeyondTheWaitingBoundAreAnsweredBusyAtOnce)
{
    vl::test::ResetProductState();
    ASSERT_TRUE(vl::test::InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    HostProcess host(VL_EXTENSION_ORIGIN_WTEXT, {{L"VL_KERNEL_BEHAVIOUR", L"never_answer"}});
    ASSERT_TRUE(host.Started());
    host.SendBytes(HostProcess::Framed(kPortalPage) +
                   HostProcess::Framed(R"({"id":1,"method":"Initialize2","args":["TW;Production","1.0.0.10","",30,"x"]})"));
    EXPECT_EQ(host.Receive(), Accepted("1.0.0.10"));
    ASSERT_EQ(host.Receive(), R"({"id":1,"result":0})");

    // Each SaveData waits its 2 s for the silent kernel. Meanwhile five messages of 1 MB
    // arrive: four fit in the 4 MiB that may wait, the fifth is answered at once.
    std::string bytes = HostProcess::Framed(R"({"id":2,"method":"SaveData","args":["k","v"]})") +
                        HostProcess::Framed(R"({"id":3,"method":"SaveData","args":["k","v"]})");
    for (int id = 4; id <= 8; ++id)
        bytes += HostProcess::Framed(R"({"id":)" + std::to_string(id) + R"(,"x":")" + std::string(1000000, 'v') + "\"}");
    host.SendBytes(bytes);
    EXPECT_EQ(host.Receive(), R"({"id":8,"error":"busy"})");
    EXPECT_EQ(host.Receive(), R"({"id":2,"result":1})");
    EXPECT_EQ(host.Receive(), R"({"id":3,"result":1})");
    for (int id = 4; id <= 7; ++id)
        EXPECT_EQ(host.Receive(), R"({"id":)" + std::to_string(id) + R"(,"error":"bad message: unexpected member"})");
    // Once the queue has drained, the host serves as before.
    host.SendBytes(HostProcess::Framed(R"({"id":9,"method":"GetVersion"})"));
    EXPECT_EQ(host.Receive(), R"({"id":9,"result":")" VL_MODULE_VERSION_TEXT R"("})");
    host.CloseInput();
    EXPECT_EQ(host.Finish(kAnswerLimitMs), 0u);
    vl::test::ResetProductState();
}

TEST(ServiceHost, EndsCleanlyWhenTheBrowserClosesThePort)
{
    struct Case {
        const char* what;
        std::string lastBytes;
    };
    const Case cases[] = {
        {"between messages", ""},
        {"inside a length", std::string("\x05\x00", 2)},
        {"inside a message", HostProcess::Framed("{\"id\":1", 100)},
    };
    vl::test::ResetProductState();
    for (const Case& c : cases) {
        HostProcess host;
        ASSERT_TRUE(host.Started());
        host.SendBytes(HostProcess::Framed(kPortalPage) + c.lastBytes);
        EXPECT_EQ(host.Receive(), Accepted("")) << c.what;
        host.CloseInput();
        EXPECT_EQ(host.Finish(kAnswerLimitMs), 0u) << c.what;
    }
}

TEST(ServiceHost, ServesOnlyTheExtensionTheBrowserStartedItFor)
{
    constexpr const char* kRefused = R"({"id":null,"error":"the vorlink! service host serves the vorlink! extension only"})";
    struct Case {
        std::wstring arguments;
        bool served;
    };
    const Case cases[] = {
        {L"chrome-extension://abcdefghijklmnopabcdefghijklmnop/ --parent-window=0", false},
        {L"\"C:\\Program Files\\host.firefox.json\" other@example.com", false},
        {L"", false},
        {L"\"C:\\Program Files\\host.firefox.json\" " VL_EXTENSION_GECKO_ID_WTEXT, true},
    };
    vl::test::ResetProductState();
    for (const Case& c : cases) {
        const std::string label(c.arguments.begin(), c.arguments.end());
        HostProcess host(c.arguments);
        ASSERT_TRUE(host.Started()) << label;
        // A refusing host says so unasked and ends: it may be gone before a message could reach it.
        if (c.served) host.SendBytes(HostProcess::Framed(kPortalPage));
        EXPECT_EQ(host.Receive(), c.served ? Accepted("") : kRefused) << label;
        host.CloseInput();
        EXPECT_EQ(host.Finish(kAnswerLimitMs), c.served ? 0u : 2u) << label;
    }
}

TEST(ServiceHost, PageRequestsReachTheStandInKernelWithTheControlsWire)
{
    vl::test::ResetProductState();
    ASSERT_TRUE(vl::test::InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    KernelJournal journal;
    HostProcess host;
    ASSERT_TRUE(host.Started());
    const struct {
        std::string message;
        std::vector<std::string> answers; // the events it raises, then its answer
    } cases[] = {
        {kPortalPage, {Accepted("1.0.0.10")}}, // the installed kernel's version, read without starting it
        {R"({"id":1,"method":"Initialize2","args":["TW;Production","1.0.0.10","any",30,"http://www.vorlink.com/"]})",
         {R"({"id":1,"result":0})"}},
        {R"({"id":2,"method":"SaveData","args":["score","4\u00e9"]})", {R"({"id":2,"result":0})"}},
        {R"({"id":3,"method":"LoadData","args":["score"]})", {"{\"id\":3,\"result\":\"4\xC3\xA9\"}"}},
        {R"({"id":4,"method":"ClearData","args":["score"]})", {R"({"id":4,"result":0})"}},
        // The system's code page has no form for it: refused, nothing reaches the kernel.
        {R"({"id":4,"method":"SaveData","args":["\ud83d\ude00score","x"]})",
         {R"({"id":4,"error":"argument 1 of SaveData (szKey) has characters the kernel's code page cannot carry"})"}},
        {R"({"id":5,"method":"LoadData","args":["score"]})", {R"({"id":5,"result":""})"}},
        {R"({"id":6,"method":"CheckRegionInfo"})", {R"({"id":6,"result":0})"}},
        {R"({"id":7,"method":"SendCommand","args":[2,77,"hello"]})",
         {R"({"id":7,"result":0})", R"({"event":"OnResult","cmd":2,"serial":77,"params":"Echo=hello"})"}},
        {R"({"id":8,"method":"Uninitialize"})", {R"({"id":8,"result":null})"}},
    };
    for (const auto& c : cases) {
        host.SendBytes(HostProcess::Framed(c.message));
        for (const std::string& answer : c.answers) EXPECT_EQ(host.Receive(), answer) << c.message;
    }
    host.CloseInput();
    EXPECT_EQ(host.Finish(kAnswerLimitMs), 0u);
    EXPECT_EQ(journal.Messages(), (std::vector<std::wstring>{
                                      L"CmdID=3&&&&SerialNum=0&&&&Params=WidgetName=ActiveX",
                                      L"CmdID=162&&&&SerialNum=0&&&&Params=Key=score&&&&Value=4\u00e9",
                                      L"CmdID=163&&&&SerialNum=0&&&&Params=Key=score",
                                      L"CmdID=164&&&&SerialNum=0&&&&Params=Key=score",
                                      L"CmdID=163&&&&SerialNum=0&&&&Params=Key=score",
                                      L"CmdID=165&&&&SerialNum=0&&&&Params=Region=TW;Production",
                                      L"CmdID=2&&&&SerialNum=77&&&&Params=hello",
                                      L"CmdID=1&&&&SerialNum=0&&&&Params=",
                                  }));
    vl::test::ResetProductState();
}

// A page that sends a thousand commands without awaiting any: every answer is VLS_OK, in
// order, every echo reaches the page in order, and the link answers afterwards.
TEST(ServiceHost, AThousandCommandsWithoutAwaitingAnyAllGoOutAndTheirEventsFollowInOrder)
{
    constexpr int kCommands = 1000;
    vl::test::ResetProductState();
    ASSERT_TRUE(vl::test::InstallIntoHome(L"signed/VLWidgetKernel.exe", L"VLWidgetKernel.exe"));
    HostProcess host;
    ASSERT_TRUE(host.Started());
    host.SendBytes(HostProcess::Framed(kPortalPage) +
                   HostProcess::Framed(R"({"id":1,"method":"Initialize2","args":["TW;Production","1.0.0.10","",30,)"
                                       R"("http://www.vorlink.com/"]})"));
    ASSERT_EQ(host.Receive(), Accepted("1.0.0.10"));
    ASSERT_EQ(host.Receive(), R"({"id":1,"result":0})");
    std::string calls;
    for (int i = 0; i < kCommands; ++i)
        calls += HostProcess::Framed(R"({"id":)" + std::to_string(i + 2) + R"(,"method":"SendCommand","args":[2,)" +
                                     std::to_string(i) + R"(,"n"]})");
    // The answers come while the calls are still being written.
    std::thread writer([&] { host.SendBytes(calls); });
    int answers = 0, events = 0;
    while (answers < kCommands || events < kCommands) {
        const std::string message = host.Receive();
        if (message == R"({"id":)" + std::to_string(answers + 2) + R"(,"result":0})") ++answers;
        else if (message == R"({"event":"OnResult","cmd":2,"serial":)" + std::to_string(events) +
                                R"(,"params":"Echo=n"})")
            ++events;
        else {
            ADD_FAILURE() << "after " << answers << " answers and " << events << " events: " << message;
            break;
        }
    }
    writer.join();
    host.SendBytes(HostProcess::Framed(R"({"id":9999,"method":"LoadData","args":["score"]})"));
    EXPECT_EQ(host.Receive(), R"({"id":9999,"result":""})");
    host.CloseInput();
    EXPECT_EQ(host.Finish(kAnswerLimitMs), 0u);
    vl::test::ResetProductState();
}

TEST(ServiceHost, AMissingKernelSendsThePageToTheInstallPageBeforeTheAnswer)
{
    vl::test::ResetProductState();
    HostProcess host;
    ASSERT_TRUE(host.Started());
    host.SendBytes(HostProcess::Framed(kPortalPage) +
                   HostProcess::Framed(R"({"id":1,"method":"Initialize2","args":["TW;Production","1.0.0.10","any",30,)"
                                       R"("http://www.vorlink.com/"]})"));
    EXPECT_EQ(host.Receive(), Accepted(""));
    EXPECT_EQ(host.Receive(), R"({"event":"InstallPage","address":"http://tw.vorlink.com/vorlink_block/install.aspx"})");
    EXPECT_EQ(host.Receive(), R"({"id":1,"result":2})");
}

// A manifest that runs it as its caller (no virtualized registry) and says nothing of the
// system's version, and the control's version.
TEST(ServiceHost, CarriesItsManifestAndTheControlsVersion)
{
    const std::wstring path = test::BuildFile(L"VLServiceHost.exe");
    const std::string manifest = test::ModuleResource(path, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    EXPECT_NE(manifest.find(R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)"), std::string::npos);
    EXPECT_EQ(manifest.find("compatibility"), std::string::npos);
    EXPECT_EQ(manifest.find("supportedOS"), std::string::npos);

    EXPECT_EQ(CVLWidgetUtility(L"test").GetFileVersion(path), VL_MODULE_VERSION_WTEXT);
}
