// The service host's message layer below the requests: the JSON reader and writer and the
// browser's length-prefixed framing.
#include "service_host/portable/json_reader.h"
#include "service_host/portable/json_writer.h"
#include "service_host/portable/native_message_frame.h"
#include "service_host/portable/waiting_messages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace vl;

namespace {

std::string Nested(int depth)
{
    return std::string(depth, '[') + std::string(depth, ']');
}

// `depth` objects, each the only member of the one around it.
std::string NestedObjects(int depth)
{
    std::string json;
    for (int i = 1; i < depth; ++i) json += "{\"a\":";
    return json + "{}" + std::string(depth - 1, '}');
}

// {"a":0,"b":0,...} with `members`, or else [0,0,...]: `count` values.
std::string Values(std::size_t count, bool members)
{
    std::string json(1, members ? '{' : '[');
    for (std::size_t i = 0; i < count; ++i)
        json += std::string(i ? "," : "") + (members ? std::string{'"', char('a' + i), '"', ':'} : "") + "0";
    return json + (members ? '}' : ']');
}

std::string Framed(std::uint32_t length, std::string_view body)
{
    std::string framed(4, '\0');
    std::memcpy(framed.data(), &length, 4);
    return framed + std::string(body);
}

} // namespace

TEST(JsonText, ReadsAndWritesBackEveryKindOfValue)
{
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {R"( {"a" : [1, -2.5, 0, 1e3, true, false, null, "x"], "b": {}} )",
         R"({"a":[1,-2.5,0,1000,true,false,null,"x"],"b":{}})"},
        {R"("\"\\\/\b\f\n\r\t")", R"("\"\\/\u0008\u000c\n\r\t")"},
        // Escaped and raw non-ASCII text come out as UTF-8; a pair of escapes is one character.
        {R"("\u00e9\ud83d\ude00")", "\"\xC3\xA9\xF0\x9F\x98\x80\""},
        {"\"\xC3\xA9\xF0\x9F\x98\x80\"", "\"\xC3\xA9\xF0\x9F\x98\x80\""},
        // An unpaired surrogate cannot be UTF-8: it stays an escape both ways.
        {R"(["\udc00", "\ud800x", "\ud800"])", R"(["\udc00","\ud800x","\ud800"])"},
        {"4294967295", "4294967295"},
        {"9007199254740991", "9007199254740991"},
        {Nested(kMaxJsonDepth), Nested(kMaxJsonDepth)},
        {NestedObjects(kMaxJsonDepth), NestedObjects(kMaxJsonDepth)},
        {Values(kMaxJsonMembers, true), Values(kMaxJsonMembers, true)},
        {Values(kMaxJsonElements, false), Values(kMaxJsonElements, false)},
    };
    for (const Case& c : cases) {
        auto read = ReadJson(c.in);
        ASSERT_TRUE(std::holds_alternative<JsonValue>(read)) << c.in << ": " << std::get<JsonError>(read).reason;
        EXPECT_EQ(WriteJson(std::get<JsonValue>(read)), c.out) << c.in;
    }
}

TEST(JsonText, TextsAreUtf16CodeUnits)
{
    const auto read = ReadJson("\"\xF0\x9F\x98\x80\\u0041\"");
    ASSERT_TRUE(std::holds_alternative<JsonValue>(read));
    EXPECT_EQ(*std::get<JsonValue>(read).As<std::wstring>(), (std::wstring{wchar_t(0xD83D), wchar_t(0xDE00), L'A'}));
}

TEST(JsonText, RefusesWhatIsNotStrictJsonAndSaysWhere)
{
    struct Case {
        std::string in;
        std::string reason;
        std::size_t offset;
    };
    const Case cases[] = {
        {"", "unexpected end of text", 0},
        {"\xEF\xBB\xBF{}", "unexpected character", 0}, // a byte order mark
        {"{} {}", "unexpected text after the value", 3},
        {"[1,]", "unexpected character", 3},
        {"{\"a\":1,}", "expected a member name", 7},
        {"{a:1}", "expected a member name", 1},
        {"{\"a\" 1}", "expected ':'", 5},
        {"{\"a\":1 \"b\":2}", "expected ',' or '}'", 7},
        {"[1 2]", "expected ',' or ']'", 3},
        {"{\"a\":1,\"a\":2}", "member name given twice", 7},
        {"01", "number with a leading zero", 1},
        {"-", "malformed number", 1},
        {"1.", "malformed number", 2},
        {"1e+", "malformed number", 3},
        {"1e400", "number out of range", 0},
        {"+1", "unexpected character", 0},
        {"tru", "unexpected character", 0},
        {"\"abc", "unterminated text", 4},
        {"\"a\\x\"", "unknown escape", 3},
        {"\"\\u12g4\"", "malformed \\u escape", 5},
        {std::string("\"a\0b\"", 5), "NUL character in text", 2},
        {"\"a\\u0000b\"", "NUL character in text", 2},
        {"\"a\tb\"", "control character in text", 2},
        {"\"\xC0\x80\"", "invalid UTF-8", 1},         // an overlong NUL
        {"\"\xE0\x80\xAF\"", "invalid UTF-8", 1},     // an overlong slash
        {"\"\xED\xA0\x80\"", "invalid UTF-8", 1},     // an encoded surrogate
        {"\"\xF4\x90\x80\x80\"", "invalid UTF-8", 1}, // above U+10FFFF
        {"\"\xE2\x82\"", "invalid UTF-8", 1},         // cut short
        {"\"\x80\"", "invalid UTF-8", 1},
        {"\"\xF8\x88\x80\x80\x80\"", "invalid UTF-8", 1},
        {Nested(kMaxJsonDepth + 1), "nested too deep", kMaxJsonDepth},
        {"{\"a\":" + Nested(kMaxJsonDepth) + "}", "nested too deep", 5 + kMaxJsonDepth - 1},
        {NestedObjects(kMaxJsonDepth + 1), "nested too deep", 5 * kMaxJsonDepth},
        // 1 MiB of objects, each opening the next: refused at the bound, not read on.
        {NestedObjects(1024 * 1024 / 5), "nested too deep", 5 * kMaxJsonDepth},
        {Values(kMaxJsonMembers + 1, true), "too many members", 1 + 6 * kMaxJsonMembers},
        {Values(kMaxJsonElements + 1, false), "too many elements", 1 + 2 * kMaxJsonElements},
    };
    for (const Case& c : cases) {
        const auto read = ReadJson(c.in);
        ASSERT_TRUE(std::holds_alternative<JsonError>(read)) << c.in;
        EXPECT_EQ(std::get<JsonError>(read).reason, c.reason) << c.in;
        EXPECT_EQ(std::get<JsonError>(read).offset, c.offset) << c.in;
    }
}

TEST(NativeMessageFrame, PutsTheLengthInFrontAndRefusesWhatTheBrowserWouldNotTake)
{
    EXPECT_EQ(FrameNativeMessage("{}"), Framed(2, "{}"));
    const std::string largest(kMaxMessageToBrowser, 'x');
    ASSERT_TRUE(FrameNativeMessage(largest));
    EXPECT_EQ(FrameNativeMessage(largest)->size(), kMaxMessageToBrowser + 4);
    EXPECT_FALSE(FrameNativeMessage(largest + "x"));
}

TEST(NativeMessageFrame, CutsAStreamIntoMessagesHoweverItArrives)
{
    const std::string stream = Framed(2, "{}") + Framed(0, "") + Framed(7, "[1,2,3]");
    for (std::size_t chunk : {stream.size(), std::size_t{1}, std::size_t{3}, std::size_t{5}}) {
        NativeMessageReader reader;
        std::vector<std::string> messages;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            reader.Append(stream.data() + at, std::min(chunk, stream.size() - at));
            while (auto message = reader.Next()) {
                EXPECT_FALSE(message->oversized);
                messages.push_back(message->text);
            }
        }
        EXPECT_EQ(messages, (std::vector<std::string>{"{}", "", "[1,2,3]"})) << "chunks of " << chunk;
    }
}

TEST(NativeMessageFrame, ReadsPastAnOversizedMessageKeepingOnlyItsStart)
{
    const std::string body = "{\"id\":5," + std::string(kMaxMessageFromBrowser, ' ');
    const std::string atLimit(kMaxMessageFromBrowser, 'y');
    const std::string stream = Framed(static_cast<std::uint32_t>(body.size()), body) + Framed(2, "{}") +
                               Framed(static_cast<std::uint32_t>(atLimit.size()), atLimit);
    NativeMessageReader reader;
    std::vector<NativeMessage> messages;
    for (std::size_t at = 0; at < stream.size(); at += 4096) {
        reader.Append(stream.data() + at, std::min<std::size_t>(4096, stream.size() - at));
        while (auto message = reader.Next()) messages.push_back(*message);
    }
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(messages[0].oversized);
    EXPECT_EQ(messages[0].length, body.size());
    EXPECT_EQ(messages[0].text, body.substr(0, kOversizedPrefixBytes));
    EXPECT_FALSE(messages[1].oversized);
    EXPECT_EQ(messages[1].text, "{}");
    EXPECT_FALSE(messages[2].oversized); // exactly at the bound is held whole
    EXPECT_EQ(messages[2].text, atLimit);

    // A length of 4 GiB - 1 is only counted down, never held.
    NativeMessageReader huge;
    const std::string start = Framed(0xFFFFFFFFu, std::string(100000, 'z'));
    huge.Append(start.data(), start.size());
    EXPECT_FALSE(huge.Next());
}

TEST(WaitingMessages, HoldAtMostTheBoundInOrderAndAnyMessageWhenEmpty)
{
    const std::size_t overhead = WaitingMessages::Cost(NativeMessage{});
    const std::size_t largest = kMaxMessageFromBrowser; // what the reader holds of one message
    const std::size_t rest = kMaxWaitingBytes - 3 * (largest + overhead) - overhead;
    // A size to push, or 0 to take the oldest; whether the push was kept.
    const std::pair<std::size_t, bool> steps[] = {
        {largest, true}, {largest, true}, {largest, true}, {rest, true}, // exactly full
        {1, false}, {0, true}, {largest + 1, false}, {largest, true},   // one taken: room for as much
        {0, true}, {0, true}, {0, true}, {0, true}, {kMaxWaitingBytes + 1, true}, {0, true},
    };
    WaitingMessages queue;
    std::vector<std::size_t> kept; // the sizes pushed and kept, oldest first
    std::size_t taken = 0;
    for (const auto& [size, ok] : steps) {
        if (size == 0) {
            const auto message = queue.Take();
            ASSERT_TRUE(message);
            EXPECT_EQ(message->text.size(), kept[taken++]);
            continue;
        }
        NativeMessage message{std::string(size, 'x'), 0, false};
        EXPECT_EQ(queue.Push(std::move(message)), ok) << size;
        if (ok) kept.push_back(size);
        else EXPECT_EQ(message.text.size(), size) << "a refused message is left whole";
    }
    EXPECT_FALSE(queue.Take());
}
