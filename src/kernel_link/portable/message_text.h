// The kernel message text: "CmdID=%d&&&&SerialNum=%d&&&&Params=%s" and a NUL byte,
// in the ANSI code page. Formatting, parsing, field lookup and the splitting of a byte
// stream into messages; the conversion to and from the code page is the caller's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "support/portable/key_value.h"

namespace vl {

// One read from a pipe, and the buffer a message is formatted into.
inline constexpr std::size_t kPipeBufferSize = 4096;
// Text bytes of the longest message; the NUL follows them.
inline constexpr std::size_t kMaxMessageTextBytes = 4093;

// The message text without its NUL, or nothing when it would not be one message: longer
// than kMaxMessageTextBytes (a message is never cut), or with a NUL in the parameters (the
// reader would end the message there and take the rest for another one).
std::optional<std::string> FormatKernelMessage(std::int32_t cmdId, std::int32_t serialNum,
                                               std::string_view ansiParams);

// Leading white space, one optional sign, decimal digits up to the first other
// character; no digits give 0; the value wraps modulo 2^32.
std::int32_t ParseLeadingInteger(std::wstring_view text);

struct KernelMessage {
    std::int32_t cmdId = 0;
    std::int32_t serialNum = 0;
    std::wstring params;
};

// Nothing when CmdID or SerialNum is missing or empty. The parameters are everything
// after the first "Params=", not cut at "&&&&"; a message without "Params=" has none.
std::optional<KernelMessage> ParseKernelMessage(std::wstring_view message);

// Splits the bytes read from one pipe into messages at their NUL bytes. Bytes after a
// NUL are kept for the next message, and a partial message waits for its NUL; a run of
// kPipeBufferSize bytes without any NUL counts as one message, so the buffer is bounded.
class MessageFramer {
public:
    void Append(const char* data, std::size_t size);
    // The next complete message text, without its NUL.
    std::optional<std::string> Next();
    bool Empty() const { return m_pending.size() == m_start; }

private:
    std::string m_pending;
    std::size_t m_start = 0; // where the next message begins in m_pending
};

} // namespace vl
