// The form's HTTP client against a small HTTP server run by the test on the loopback.
// winsock2.h must come before windows.h.
// ctest-link: ws2_32
#include <winsock2.h>

#include "support/patch_http.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Reply {
    std::string statusLine;
    std::string headers; // each ending in "\r\n"
    std::string body;
    bool withLength = true;
};

// One request per connection: the reply to the request's path, then the connection closes.
class LoopbackServer {
public:
    LoopbackServer()
    {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        int size = sizeof(address);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ::ntohs(address.sin_port);
        ::listen(m_listener, 8);
        m_thread = std::thread([this] { Serve(); });
    }

    ~LoopbackServer()
    {
        ::closesocket(m_listener);
        m_thread.join();
        ::WSACleanup();
    }

    void Route(const std::string& path, Reply reply)
    {
        std::lock_guard lock(m_mutex);
        m_routes[path] = std::move(reply);
    }

    USHORT Port() const { return m_port; }

    std::wstring Url(const std::string& path) const
    {
        return L"http://127.0.0.1:" + std::to_wstring(m_port) + std::wstring(path.begin(), path.end());
    }

    std::vector<std::string> Requests()
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void Serve()
    {
        for (;;) {
            SOCKET connection = ::accept(m_listener, nullptr, nullptr);
            if (connection == INVALID_SOCKET) return;
            Answer(connection);
            ::shutdown(connection, SD_SEND);
            ::closesocket(connection);
        }
    }

    void Answer(SOCKET connection)
    {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int got = ::recv(connection, buffer, sizeof(buffer), 0);
            if (got <= 0) return;
            request.append(buffer, got);
        }
        const std::string method = request.substr(0, request.find(' '));
        const std::size_t pathStart = method.size() + 1;
        const std::string path = request.substr(pathStart, request.find(' ', pathStart) - pathStart);
        Reply reply{"HTTP/1.1 404 Not Found", "", "no such file"};
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
            if (auto found = m_routes.find(path); found != m_routes.end()) reply = found->second;
        }
        std::string answer = reply.statusLine + "\r\n" + reply.headers + "Connection: close\r\n";
        if (reply.withLength) answer += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
        answer += "\r\n";
        if (method != "HEAD") answer += reply.body;
        for (std::size_t sent = 0; sent < answer.size();) {
            const int put = ::send(connection, answer.data() + sent, static_cast<int>(answer.size() - sent), 0);
            if (put <= 0) return;
            sent += static_cast<std::size_t>(put);
        }
    }

    SOCKET m_listener = INVALID_SOCKET;
    USHORT m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::map<std::string, Reply> m_routes;
    std::vector<std::string> m_requests;
};

std::string Payload(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919) >> 3);
    return bytes;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

class PatchHttpTest : public ::testing::Test {
protected:
    PatchHttpTest()
    {
        http.OnWork = [this](vl::PatchHttp& sender, vl::WorkMode mode, std::int64_t count) {
            EXPECT_EQ(&sender, &http);
            EXPECT_EQ(mode, vl::WorkMode::Read);
            work.push_back(count);
        };
    }

    LoopbackServer server;
    vl::PatchHttp http;
    std::vector<std::int64_t> work;
};

TEST_F(PatchHttpTest, HeadGivesTheAnnouncedLengthAndGetTheBodyWithItsByteCount)
{
    const std::string file = Payload(150000);
    server.Route("/VLUpdate.exe", {"HTTP/1.1 200 OK", "Content-Type: application/octet-stream\r\n", file});

    const vl::HttpResult head = http.Head(server.Url("/VLUpdate.exe"));
    ASSERT_TRUE(head.Succeeded()) << Narrow(head.error);
    EXPECT_EQ(head.status, 200u);
    EXPECT_EQ(head.contentLength, std::optional<std::int64_t>(150000));
    EXPECT_TRUE(head.body.empty());
    EXPECT_TRUE(work.empty()) << "a HEAD transfers no body";

    const vl::HttpResult get = http.Get(server.Url("/VLUpdate.exe"));
    ASSERT_TRUE(get.Succeeded()) << Narrow(get.error);
    EXPECT_EQ(std::string(get.body.begin(), get.body.end()), file);
    ASSERT_GE(work.size(), 3u) << "the body arrives in several blocks";
    EXPECT_EQ(work.front(), 0);
    EXPECT_EQ(work.back(), 150000);
    for (std::size_t i = 1; i < work.size(); ++i) EXPECT_GT(work[i], work[i - 1]);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].rfind("HEAD /VLUpdate.exe HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(requests[1].rfind("GET /VLUpdate.exe HTTP/1.1\r\n", 0), 0u);
    for (const auto& request : requests) {
        EXPECT_NE(request.find("User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"), std::string::npos);
        EXPECT_NE(request.find("Accept: text/html, */*\r\n"), std::string::npos) << request;
        EXPECT_EQ(request.find("Accept:"), request.rfind("Accept:")) << "one Accept header";
    }
}

TEST_F(PatchHttpTest, AnErrorStatusIsAFailureWithTheStatusLine)
{
    const vl::HttpResult head = http.Head(server.Url("/VLUpdate_2_0_1_7.exe"));
    EXPECT_FALSE(head.Succeeded());
    EXPECT_EQ(head.status, 404u);
    EXPECT_EQ(Narrow(head.error), "HTTP/1.1 404 Not Found");

    const vl::HttpResult get = http.Get(server.Url("/VLUpdate_2_0_1_7.exe"));
    EXPECT_EQ(Narrow(get.error), "HTTP/1.1 404 Not Found");
    EXPECT_TRUE(get.body.empty());
    EXPECT_TRUE(work.empty()) << "an error page is not counted as the file";
}

TEST_F(PatchHttpTest, AnAnswerWithoutContentLengthHasNoLength)
{
    const std::string file = Payload(20000);
    server.Route("/stream", {"HTTP/1.1 200 OK", "", file, false});
    const vl::HttpResult head = http.Head(server.Url("/stream"));
    ASSERT_TRUE(head.Succeeded()) << Narrow(head.error);
    EXPECT_FALSE(head.contentLength);
    const vl::HttpResult get = http.Get(server.Url("/stream"));
    ASSERT_TRUE(get.Succeeded()) << Narrow(get.error);
    EXPECT_EQ(get.body.size(), file.size());
    EXPECT_EQ(work.back(), 20000);
}

TEST_F(PatchHttpTest, EachTransferCountsFromZero)
{
    server.Route("/full", {"HTTP/1.1 200 OK", "", Payload(5000)});
    server.Route("/empty", {"HTTP/1.1 200 OK", "", ""});
    ASSERT_TRUE(http.Get(server.Url("/full")).Succeeded());
    EXPECT_EQ(work.back(), 5000);
    ASSERT_TRUE(http.Get(server.Url("/empty")).Succeeded());
    EXPECT_EQ(work.back(), 0) << "an empty body must not leave the previous transfer's count";
}

TEST_F(PatchHttpTest, CookiesTheServerSetsGoBackToIt)
{
    server.Route("/login", {"HTTP/1.1 200 OK", "Set-Cookie: session=abc123; path=/\r\n", "ok"});
    server.Route("/file", {"HTTP/1.1 200 OK", "", "data"});
    ASSERT_TRUE(http.Get(server.Url("/login")).Succeeded());
    ASSERT_TRUE(http.Get(server.Url("/file")).Succeeded());
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find("session=abc123"), std::string::npos) << requests[1];
}

TEST(PatchHttpFailures, UnreachableServersAndBadAddressesAreFailures)
{
    vl::PatchHttp http;
    // A port nobody listens on: taken from a listener that is closed again.
    USHORT port = 0;
    {
        LoopbackServer closed;
        port = closed.Port();
    }
    const vl::HttpResult refused = http.Get(L"http://127.0.0.1:" + std::to_wstring(port) + L"/VLUpdate.exe");
    EXPECT_FALSE(refused.Succeeded());
    EXPECT_FALSE(refused.error.empty());
    EXPECT_FALSE(http.Head(L"not a url").Succeeded());
    EXPECT_FALSE(http.Head(L"ftp://127.0.0.1/VLUpdate.exe").Succeeded());
    EXPECT_FALSE(http.Head(L"").Succeeded());
}

} // namespace
