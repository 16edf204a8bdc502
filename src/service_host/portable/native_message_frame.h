// The browser's native-messaging framing: each message is a 32-bit length in the
// machine's byte order followed by that many bytes of UTF-8 JSON, on the host's standard
// input and output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vl {

// The browser accepts at most 1 MiB from a host.
inline constexpr std::size_t kMaxMessageToBrowser = 1024 * 1024;
// The browser may send up to 4 GiB; the host holds at most this much of one message. Every
// request of the page contract is far smaller (a kernel message carries at most 4 KiB).
inline constexpr std::size_t kMaxMessageFromBrowser = 1024 * 1024;
// What the host keeps of a longer message: enough to find the id it answers to.
inline constexpr std::size_t kOversizedPrefixBytes = 64;

// The message with its length in front; nothing when it is longer than the browser takes.
std::optional<std::string> FrameNativeMessage(std::string_view json);

struct NativeMessage {
    std::string text;          // the whole message; for an oversized one its first bytes
    std::uint32_t length = 0;  // as announced
    bool oversized = false;    // longer than kMaxMessageFromBrowser: skipped, not held
};

// Cuts the bytes read from standard input into messages. A message longer than
// kMaxMessageFromBrowser is read past without being held and comes out, once its last byte
// has arrived, as an oversized message, so the host can answer it and read on.
// Call Next until it gives nothing after each Append: what it leaves is at most a length's
// first bytes.
class NativeMessageReader {
public:
    void Append(const char* data, std::size_t size);
    std::optional<NativeMessage> Next();

private:
    std::string m_input;            // bytes appended and not yet taken
    std::size_t m_inputStart = 0;   // where they begin
    bool m_inMessage = false;       // m_current's length has been read
    NativeMessage m_current;
    std::uint32_t m_remaining = 0;  // its bytes still to come
};

} // namespace vl
