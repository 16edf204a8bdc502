// VLServiceHost.exe as the browser runs it: framed JSON on its standard input and output,
// kept binary, answers in order, long messages refused without ending the connection, and
// a clean end when the browser closes the port; started for another extension, it refuses.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "extension_identity.h"
#include "support/redirected_process.h"
#include "support/test_paths.h"
#include "support/win_handles.h"

using namespace vl;

namespace {

constexpr DWORD kAnswerLimitMs = 10000;
constexpr const char* kPortalPage = R"({"id":0,"page":"http://www.vorlink.com/index.html"})";

// The host with both standard handles on pipes the test holds, started as Chromium starts
// it for the vorlink! extension unless told otherwise.
class HostProcess {
public:
    explicit HostProcess(const std::wstring& arguments = VL_EXTENSION_ORIGIN_WTEXT L" --parent-window=0")
        : m_child(Start(arguments))
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
    std::unique_ptr<test::RedirectedProcess> Start(const std::wstring& arguments)
    {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        UniqueHandle childInput, childOutput;
        if (!::CreatePipe(childInput.put(), m_input.put(), &inheritable, 0) ||
            !::CreatePipe(m_output.put(), childOutput.put(), &inheritable, 0))
            return nullptr;
        ::SetHandleInformation(m_input.get(), HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(m_output.get(), HANDLE_FLAG_INHERIT, 0);
        return std::make_unique<test::RedirectedProcess>(
            L"\"" + test::BuildFile(L"VLServiceHost.exe") + L"\" " + arguments, childInput.get(),
            childOutput.get(), ::GetStdHandle(STD_ERROR_HANDLE));
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
    std::unique_ptr<test::RedirectedProcess> m_child; // after the pipes, which it fills
};

class ServiceHostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_host.Started()); }
    HostProcess m_host;
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
        {kPortalPage, R"({"id":0,"result":null})"},
        {"[\r\n1,2\r\n]", R"({"id":null,"error":"bad message: not an object"})"},
        {R"({"id":1,"m":0})", R"({"id":1,"error":"bad message: unexpected member"})"},
        {R"({"id":2,"method":"x"})", R"({"id":2,"error":"unknown method"})"},
        {R"({"id":3,"method":"GetVersion"})", R"({"id":3,"error":"the vorlink! service is not available"})"},
        {R"({"id":4,"method":"SaveData","args":["k\u0000","v"]})", R"({"id":4,"error":"bad message: NUL character in text at byte 38"})"},
        {"{\"id\":5,\"method\":\"LoadData\",\"args\":[\"\xC3\xA9\xF0\x9F\x98\x80\"]}",
         R"({"id":5,"error":"the vorlink! service is not available"})"},
    };
    std::string all;
    for (const Case& c : cases) all += HostProcess::Framed(c.message);
    all += HostProcess::Framed(std::string(13, ' ')) + HostProcess::Framed(std::string(26, ' '));
    m_host.SendBytes(all);
    for (const Case& c : cases) EXPECT_EQ(m_host.Receive(), c.answer) << c.message;
    EXPECT_EQ(m_host.Receive(), R"({"id":null,"error":"bad message: unexpected end of text at byte 13"})");
    EXPECT_EQ(m_host.Receive(), R"({"id":null,"error":"bad message: unexpected end of text at byte 26"})");
}

TEST_F(ServiceHostTest, RefusesAMessageAboveTheBoundAndServesOn)
{
    const std::string longMessage = R"({"id":7,"method":"SaveData","args":["k",")" + std::string(1024 * 1024, 'v') + "\"]}";
    m_host.SendBytes(HostProcess::Framed(kPortalPage) + HostProcess::Framed(longMessage) +
                     HostProcess::Framed(R"({"id":8,"method":"GetVersion"})"));
    EXPECT_EQ(m_host.Receive(), R"({"id":0,"result":null})");
    EXPECT_EQ(m_host.Receive(), R"({"id":7,"error":"message too large: more than 1048576 bytes"})");
    EXPECT_EQ(m_host.Receive(), R"({"id":8,"error":"the vorlink! service is not available"})");
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
    for (const Case& c : cases) {
        HostProcess host;
        ASSERT_TRUE(host.Started());
        host.SendBytes(HostProcess::Framed(kPortalPage) + c.lastBytes);
        EXPECT_EQ(host.Receive(), R"({"id":0,"result":null})") << c.what;
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
    for (const Case& c : cases) {
        const std::string label(c.arguments.begin(), c.arguments.end());
        HostProcess host(c.arguments);
        ASSERT_TRUE(host.Started()) << label;
        // A refusing host says so unasked and ends: it may be gone before a message could reach it.
        if (c.served) host.SendBytes(HostProcess::Framed(kPortalPage));
        EXPECT_EQ(host.Receive(), c.served ? R"({"id":0,"result":null})" : kRefused) << label;
        host.CloseInput();
        EXPECT_EQ(host.Finish(kAnswerLimitMs), c.served ? 0u : 2u) << label;
    }
}
