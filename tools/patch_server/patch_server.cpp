// A small HTTP/1.1 file server for tests of the updater download and of the browser
// bridge: it serves the files of one folder with GET and HEAD, one request per connection,
// over plain HTTP or TLS, and can misbehave on chosen files the way broken or slow web
// servers do.
//
//   patch_server --root DIR [--port N]... [--address A] [--log FILE] [--ready-file FILE]
//                [--tls-cert FILE --tls-key FILE]
//                [--no-length-for NAME] [--short-body-for NAME] [--slow-for NAME]
//                [--slow-delay-ms N] [--head-only-for NAME] [--huge-length-for NAME]
//                [--trickle-for NAME] [--trickle-delay-ms N] [--redirect-for NAME]
//                [--hostile-reason-for NAME]
//
// NAME is a request path ("/vorlink05/VLUpdate.exe") or its last segment ("VLUpdate.exe");
// the fault options may be repeated. Faults:
//   --no-length-for      answers without Content-Length (the body of a GET ends at the close)
//   --short-body-for     GET announces the whole file and sends the first half, then closes
//   --slow-for           sends the body in blocks of 1 KiB, --slow-delay-ms apart (default 100)
//   --head-only-for      HEAD answers as for any file, GET answers 500 Internal Server Error
//   --huge-length-for    announces a Content-Length of 1 TiB, then sends the file and closes
//   --trickle-for        sends the answer, headers and body, one byte at a time,
//                        --trickle-delay-ms apart (default 1000)
//   --redirect-for       answers "302 Found" with Location "/moved" + the path, on this host
//   --hostile-reason-for answers status 500 with a reason text of 4,000 characters that holds
//                        control characters (escape sequences, bell, backspace, DEL)
// The log gets one line per request: method, path as requested, host ("-" when none).
// --port may be repeated (default 80); port 0 takes a free port. The ready file, written
// once the server listens on every port, holds the first port.
// With --tls-cert and --tls-key (PEM), a connection that opens with a TLS handshake is
// served over TLS with that certificate and key, on any of the ports; others as plain HTTP.
// Files ending in .html and .js go out as text/html and text/javascript (UTF-8), so that a
// browser shows and runs them; every other file as application/octet-stream.
// Serves until killed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kMaxHeaderBytes = 16 * 1024;
constexpr int kMaxConnections = 8;
constexpr int kReceiveTimeoutSeconds = 10;
constexpr std::size_t kSlowBlockBytes = 1024;
constexpr std::uint64_t kHugeLength = 1ull << 40;
constexpr std::size_t kHostileReasonBytes = 4000;
constexpr unsigned char kTlsHandshakeRecord = 0x16;

struct Options {
    std::string root;
    std::string address = "127.0.0.1";
    std::vector<int> ports;
    std::string tlsCert;
    std::string tlsKey;
    std::string logPath;
    std::string readyPath;
    std::set<std::string> noLength;
    std::set<std::string> shortBody;
    std::set<std::string> headOnly;
    std::set<std::string> slow;
    int slowDelayMs = 100;
    std::set<std::string> hugeLength;
    std::set<std::string> trickle;
    int trickleDelayMs = 1000;
    std::set<std::string> redirect;
    std::set<std::string> hostileReason;
};

struct Request {
    std::string method;
    std::string target; // as sent
    std::string path;   // decoded, without the query
    std::string host;
};

class RequestLog {
public:
    explicit RequestLog(const std::string& path)
    {
        if (!path.empty()) m_file = std::fopen(path.c_str(), "w");
    }
    ~RequestLog()
    {
        if (m_file) std::fclose(m_file);
    }
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    bool Failed(const std::string& path) const { return !path.empty() && !m_file; }

    void Write(const Request& request)
    {
        if (!m_file) return;
        std::lock_guard lock(m_mutex);
        std::fprintf(m_file, "%s %s %s\n", request.method.c_str(), request.target.c_str(),
                     request.host.empty() ? "-" : request.host.c_str());
        std::fflush(m_file);
    }

private:
    std::FILE* m_file = nullptr;
    std::mutex m_mutex;
};

// Admits at most kMaxConnections connections at a time.
class ConnectionSlots {
public:
    void Acquire()
    {
        std::unique_lock lock(m_mutex);
        m_freed.wait(lock, [this] { return m_busy < kMaxConnections; });
        ++m_busy;
    }
    void Release()
    {
        {
            std::lock_guard lock(m_mutex);
            --m_busy;
        }
        m_freed.notify_one();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_freed;
    int m_busy = 0;
};

[[noreturn]] void Usage(const char* problem)
{
    std::fprintf(stderr,
                 "patch_server: %s\n"
                 "usage: patch_server --root DIR [--port N]... [--address A] [--log FILE] [--ready-file FILE]\n"
                 "                    [--tls-cert FILE --tls-key FILE]\n"
                 "                    [--no-length-for NAME] [--short-body-for NAME] [--slow-for NAME]\n"
                 "                    [--slow-delay-ms N] [--head-only-for NAME] [--huge-length-for NAME]\n"
                 "                    [--trickle-for NAME] [--trickle-delay-ms N] [--redirect-for NAME]\n"
                 "                    [--hostile-reason-for NAME]\n",
                 problem);
    std::exit(2);
}

int ParseNumber(const char* text, int low, int high)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high) Usage("bad number");
    return static_cast<int>(value);
}

Options ParseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (i + 1 >= argc) Usage("option without value");
        const char* value = argv[++i];
        if (option == "--root") options.root = value;
        else if (option == "--port") options.ports.push_back(ParseNumber(value, 0, 65535));
        else if (option == "--tls-cert") options.tlsCert = value;
        else if (option == "--tls-key") options.tlsKey = value;
        else if (option == "--address") options.address = value;
        else if (option == "--log") options.logPath = value;
        else if (option == "--ready-file") options.readyPath = value;
        else if (option == "--no-length-for") options.noLength.insert(value);
        else if (option == "--short-body-for") options.shortBody.insert(value);
        else if (option == "--head-only-for") options.headOnly.insert(value);
        else if (option == "--slow-for") options.slow.insert(value);
        else if (option == "--slow-delay-ms") options.slowDelayMs = ParseNumber(value, 0, 60000);
        else if (option == "--huge-length-for") options.hugeLength.insert(value);
        else if (option == "--trickle-for") options.trickle.insert(value);
        else if (option == "--trickle-delay-ms") options.trickleDelayMs = ParseNumber(value, 0, 600000);
        else if (option == "--redirect-for") options.redirect.insert(value);
        else if (option == "--hostile-reason-for") options.hostileReason.insert(value);
        else Usage("unknown option");
    }
    if (options.root.empty()) Usage("--root is required");
    if (options.tlsCert.empty() != options.tlsKey.empty()) Usage("--tls-cert and --tls-key go together");
    if (options.ports.empty()) options.ports.push_back(80);
    return options;
}

bool Matches(const std::set<std::string>& names, const std::string& path)
{
    const std::string lastSegment = path.substr(path.rfind('/') + 1);
    return names.contains(path) || names.contains(lastSegment);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The file path a request target names below the root: percent-decoded, without query, and
// only when it cannot leave the root (no "..", no NUL). Absolute-form targets are accepted.
std::optional<std::string> DecodePath(std::string_view target)
{
    if (target.starts_with("http://")) {
        const auto slash = target.find('/', 7);
        target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
    }
    target = target.substr(0, target.find_first_of("?#"));
    if (!target.starts_with('/')) return std::nullopt;

    std::string path;
    for (std::size_t i = 0; i < target.size(); ++i) {
        if (target[i] != '%') {
            path += target[i];
            continue;
        }
        if (i + 2 >= target.size() || HexValue(target[i + 1]) < 0 || HexValue(target[i + 2]) < 0)
            return std::nullopt;
        path += static_cast<char>(HexValue(target[i + 1]) * 16 + HexValue(target[i + 2]));
        i += 2;
    }
    if (path.find('\0') != std::string::npos || path.find('\\') != std::string::npos) return std::nullopt;
    std::istringstream segments(path);
    for (std::string segment; std::getline(segments, segment, '/');)
        if (segment == "..") return std::nullopt;
    return path;
}

// One client's connection, plain or over TLS once the client's handshake has been taken.
class Connection {
public:
    explicit Connection(int fd) : m_fd(fd) {}
    ~Connection()
    {
        // No closing message after a fatal TLS error: OpenSSL forbids it.
        if (m_tls && !m_tlsBroken) ::SSL_shutdown(m_tls.get());
        m_tls.reset();
        ::shutdown(m_fd, SHUT_WR);
        ::close(m_fd);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Takes a TLS handshake when the client opens with one; false when that fails.
    bool AcceptTls(SSL_CTX* context)
    {
        unsigned char first = 0;
        if (!context || ::recv(m_fd, &first, 1, MSG_PEEK) != 1 || first != kTlsHandshakeRecord) return true;
        m_tls.reset(::SSL_new(context));
        return m_tls && ::SSL_set_fd(m_tls.get(), m_fd) == 1 && Tls(::SSL_accept(m_tls.get())) == 1;
    }

    // Bytes received; 0 or less when the client closed, fell silent or failed.
    long Receive(char* buffer, std::size_t size)
    {
        if (m_tls) return Tls(::SSL_read(m_tls.get(), buffer, static_cast<int>(size)));
        return ::recv(m_fd, buffer, size, 0);
    }

    bool SendAll(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const long sent = m_tls ? Tls(::SSL_write(m_tls.get(), bytes.data(), static_cast<int>(bytes.size())))
                                    : ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

private:
    // A TLS call's result, noting whether it broke the connection.
    int Tls(int result)
    {
        if (result <= 0) {
            const int error = ::SSL_get_error(m_tls.get(), result);
            m_tlsBroken = m_tlsBroken || error == SSL_ERROR_SSL || error == SSL_ERROR_SYSCALL;
        }
        return result;
    }

    struct TlsFree {
        void operator()(SSL* tls) const { ::SSL_free(tls); }
    };
    int m_fd;
    std::unique_ptr<SSL, TlsFree> m_tls;
    bool m_tlsBroken = false;
};

// Reads up to the blank line that ends the header. Empty on a closed, silent or oversized
// request.
std::string ReadHeader(Connection& connection)
{
    std::string header;
    char buffer[2048];
    while (header.find("\r\n\r\n") == std::string::npos) {
        if (header.size() >= kMaxHeaderBytes) return {};
        const long got = connection.Receive(buffer, std::min(sizeof buffer, kMaxHeaderBytes - header.size()));
        if (got <= 0) return {};
        header.append(buffer, static_cast<std::size_t>(got));
    }
    return header;
}

std::string Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::optional<Request> ParseRequest(const std::string& header)
{
    std::istringstream lines(header);
    std::string line;
    std::getline(lines, line);
    if (line.ends_with('\r')) line.pop_back();
    Request request;
    std::istringstream requestLine(line);
    std::string version;
    if (!(requestLine >> request.method >> request.target >> version) || !version.starts_with("HTTP/"))
        return std::nullopt;
    while (std::getline(lines, line)) {
        if (line.ends_with('\r')) line.pop_back();
        if (line.empty()) break;
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        std::ranges::transform(name, name.begin(), [](unsigned char c) { return std::tolower(c); });
        if (name == "host") request.host = Trim(std::string_view(line).substr(colon + 1));
    }
    request.host = request.host.substr(0, request.host.find(':'));
    return request;
}

// `bytes` in blocks of `blockBytes`, `delayMs` apart; false when the client went away.
bool SendInBlocks(Connection& connection, std::string_view bytes, std::size_t blockBytes, int delayMs)
{
    for (std::size_t offset = 0; offset < bytes.size(); offset += blockBytes) {
        if (offset != 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        if (!connection.SendAll(bytes.substr(offset, blockBytes))) return false;
    }
    return true;
}

std::string StatusHeader(const std::string& status, const char* contentType, std::optional<std::uint64_t> length)
{
    std::string header = "HTTP/1.1 " + status + "\r\nServer: patch_server\r\nContent-Type: " + contentType + "\r\n";
    if (length) header += "Content-Length: " + std::to_string(*length) + "\r\n";
    return header + "Connection: close\r\n\r\n";
}

void SendText(Connection& connection, const std::string& status, bool withBody, const std::string& text,
              const std::string& extraHeader = "")
{
    std::string header = StatusHeader(status, "text/plain", text.size());
    header.insert(header.size() - 2, extraHeader);
    connection.SendAll(withBody ? header + text : header);
}

const char* ContentType(std::string_view path)
{
    if (path.ends_with(".html")) return "text/html; charset=utf-8";
    if (path.ends_with(".js")) return "text/javascript; charset=utf-8";
    return "application/octet-stream";
}

std::optional<std::string> ReadWholeFile(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void Serve(Connection& connection, const Options& options, RequestLog& log)
{
    const std::string header = ReadHeader(connection);
    if (header.empty()) return;
    const std::optional<Request> request = ParseRequest(header);
    if (!request) {
        SendText(connection, "400 Bad Request", true, "Bad Request\n");
        return;
    }
    log.Write(*request);

    const bool head = request->method == "HEAD";
    if (!head && request->method != "GET") {
        SendText(connection, "405 Method Not Allowed", true, "Method Not Allowed\n", "Allow: GET, HEAD\r\n");
        return;
    }
    const std::optional<std::string> path = DecodePath(request->target);
    if (!path) {
        SendText(connection, "400 Bad Request", !head, "Bad Request\n");
        return;
    }
    if (Matches(options.redirect, *path)) {
        SendText(connection, "302 Found", !head, "Found\n", "Location: /moved" + *path + "\r\n");
        return;
    }
    if (Matches(options.hostileReason, *path)) {
        std::string reason = "Internal Error\x1b[2J\x1b]0;owned\x07\x08\x08\x7f";
        while (reason.size() < kHostileReasonBytes) reason += "\x1b[31mBAD\x07 ";
        SendText(connection, "500 " + reason.substr(0, kHostileReasonBytes), !head, "Internal Error\n");
        return;
    }
    const std::optional<std::string> body = ReadWholeFile(options.root + *path);
    if (!body) {
        SendText(connection, "404 Not Found", !head, "Not Found\n");
        return;
    }

    if (!head && Matches(options.headOnly, *path)) {
        SendText(connection, "500 Internal Server Error", true, "Internal Server Error\n");
        return;
    }

    std::optional<std::uint64_t> length = body->size();
    if (Matches(options.noLength, *path)) length.reset();
    if (Matches(options.hugeLength, *path)) length = kHugeLength;
    const std::string answer = StatusHeader("200 OK", ContentType(*path), length);
    const std::string_view sent = Matches(options.shortBody, *path) ? std::string_view(*body).substr(0, body->size() / 2)
                                                                     : std::string_view(*body);
    // A trickle starts with the status line: the answer's headers arrive as slowly as its body.
    if (Matches(options.trickle, *path)) {
        SendInBlocks(connection, head ? answer : answer + std::string(sent), 1, options.trickleDelayMs);
        return;
    }
    if (!connection.SendAll(answer) || head) return;
    if (Matches(options.slow, *path)) SendInBlocks(connection, sent, kSlowBlockBytes, options.slowDelayMs);
    else connection.SendAll(sent);
}

int Listen(const Options& options, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, options.address.c_str(), &address.sin_addr) != 1) Usage("bad --address");

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        std::fprintf(stderr, "patch_server: cannot listen on %s:%d: %s\n", options.address.c_str(), port,
                     std::strerror(errno));
        std::exit(1);
    }
    return fd;
}

struct TlsContextFree {
    void operator()(SSL_CTX* context) const { ::SSL_CTX_free(context); }
};
using TlsContext = std::unique_ptr<SSL_CTX, TlsContextFree>;

// The server's TLS side with the certificate (and its chain) and key of the options; none
// without them.
TlsContext MakeTlsContext(const Options& options)
{
    if (options.tlsCert.empty()) return nullptr;
    TlsContext context(::SSL_CTX_new(::TLS_server_method()));
    if (!context || ::SSL_CTX_use_certificate_chain_file(context.get(), options.tlsCert.c_str()) != 1 ||
        ::SSL_CTX_use_PrivateKey_file(context.get(), options.tlsKey.c_str(), SSL_FILETYPE_PEM) != 1 ||
        ::SSL_CTX_check_private_key(context.get()) != 1) {
        std::fprintf(stderr, "patch_server: cannot use %s and %s for TLS\n", options.tlsCert.c_str(),
                     options.tlsKey.c_str());
        ::ERR_print_errors_fp(stderr);
        std::exit(1);
    }
    return context;
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv);
    // A server left behind by a killed test run would hold its namespace forever.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    RequestLog log(options.logPath);
    if (log.Failed(options.logPath)) {
        std::fprintf(stderr, "patch_server: cannot write %s\n", options.logPath.c_str());
        return 1;
    }
    const TlsContext tls = MakeTlsContext(options);
    // A TLS client that goes away while an answer is written must not end the server.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<pollfd> listeners;
    for (const int port : options.ports) listeners.push_back(pollfd{Listen(options, port), POLLIN, 0});
    sockaddr_in bound{};
    socklen_t boundSize = sizeof bound;
    ::getsockname(listeners.front().fd, reinterpret_cast<sockaddr*>(&bound), &boundSize);
    if (!options.readyPath.empty() && !(std::ofstream(options.readyPath) << ntohs(bound.sin_port) << "\n")) {
        std::fprintf(stderr, "patch_server: cannot write %s\n", options.readyPath.c_str());
        return 1;
    }

    ConnectionSlots slots;
    for (;;) {
        slots.Acquire();
        if (::poll(listeners.data(), listeners.size(), -1) < 0) {
            slots.Release();
            if (errno == EINTR) continue;
            std::fprintf(stderr, "patch_server: poll: %s\n", std::strerror(errno));
            return 1;
        }
        const auto ready = std::ranges::find_if(listeners, [](const pollfd& listener) { return listener.revents != 0; });
        const int fd = ready == listeners.end() ? -1 : ::accept4(ready->fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            slots.Release();
            if (ready == listeners.end() || errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
            std::fprintf(stderr, "patch_server: accept: %s\n", std::strerror(errno));
            return 1;
        }
        const timeval timeout{kReceiveTimeoutSeconds, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        std::thread([fd, &options, &log, &slots, context = tls.get()] {
            {
                Connection connection(fd);
                if (connection.AcceptTls(context)) Serve(connection, options, log);
            }
            slots.Release();
        }).detach();
    }
}
