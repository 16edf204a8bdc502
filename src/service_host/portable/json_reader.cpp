#include "service_host/portable/json_reader.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <system_error>
#include <utility>

#include "service_host/portable/utf8_text.h"
#include "support/portable/ascii.h"

namespace vl {
namespace {

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : m_text(text) {}

    std::variant<JsonValue, JsonError> ReadDocument()
    {
        SkipSpace();
        std::optional<JsonValue> value = ReadValue(0);
        if (value) {
            SkipSpace();
            if (m_pos < m_text.size()) Fail("unexpected text after the value");
        }
        if (!value || !m_error.empty()) return JsonError{std::move(m_error), m_pos};
        return std::move(*value);
    }

private:
    // Records the first failure; every caller returns nothing once it is set.
    std::nullopt_t Fail(const char* reason)
    {
        if (m_error.empty()) m_error = reason;
        return std::nullopt;
    }

    // A character that is not the one the grammar wants, or none at all.
    std::nullopt_t Expected(const char* what) { return Fail(AtEnd() ? "unexpected end of text" : what); }

    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return m_text[m_pos]; }

    void SkipSpace()
    {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++m_pos;
    }

    bool Take(std::string_view word)
    {
        if (m_text.substr(m_pos, word.size()) != word) return false;
        m_pos += word.size();
        return true;
    }

    std::optional<JsonValue> ReadValue(int depth)
    {
        if (AtEnd()) return Fail("unexpected end of text");
        switch (Peek()) {
        case '{':
            return ReadObject(depth + 1);
        case '[':
            return ReadArray(depth + 1);
        case '"':
            if (auto text = ReadString()) return JsonValue{std::move(*text)};
            return std::nullopt;
        case 't':
            if (Take("true")) return JsonValue{true};
            break;
        case 'f':
            if (Take("false")) return JsonValue{false};
            break;
        case 'n':
            if (Take("null")) return JsonValue{nullptr};
            break;
        default:
            if (Peek() == '-' || IsAsciiDigit(Peek())) return ReadNumber();
        }
        return Fail("unexpected character");
    }

    std::optional<JsonValue> ReadObject(int depth)
    {
        if (depth > kMaxJsonDepth) return Fail("nested too deep");
        ++m_pos; // '{'
        JsonObject object;
        SkipSpace();
        if (!AtEnd() && Peek() == '}') {
            ++m_pos;
            return JsonValue{std::move(object)};
        }
        for (;;) {
            SkipSpace();
            if (AtEnd() || Peek() != '"') return Expected("expected a member name");
            if (object.size() == kMaxJsonMembers) return Fail("too many members");
            const std::size_t nameStart = m_pos;
            std::optional<std::wstring> name = ReadString();
            if (!name) return std::nullopt;
            for (const auto& member : object)
                if (member.first == *name) {
                    m_pos = nameStart;
                    return Fail("member name given twice");
                }
            SkipSpace();
            if (!Take(":")) return Expected("expected ':'");
            SkipSpace();
            std::optional<JsonValue> value = ReadValue(depth);
            if (!value) return std::nullopt;
            object.emplace_back(std::move(*name), std::move(*value));
            SkipSpace();
            if (Take("}")) return JsonValue{std::move(object)};
            if (!Take(",")) return Expected("expected ',' or '}'");
        }
    }

    std::optional<JsonValue> ReadArray(int depth)
    {
        if (depth > kMaxJsonDepth) return Fail("nested too deep");
        ++m_pos; // '['
        JsonArray array;
        SkipSpace();
        if (Take("]")) return JsonValue{std::move(array)};
        for (;;) {
            SkipSpace();
            if (array.size() == kMaxJsonElements) return Fail("too many elements");
            std::optional<JsonValue> value = ReadValue(depth);
            if (!value) return std::nullopt;
            array.push_back(std::move(*value));
            SkipSpace();
            if (Take("]")) return JsonValue{std::move(array)};
            if (!Take(",")) return Expected("expected ',' or ']'");
        }
    }

    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    std::optional<JsonValue> ReadNumber()
    {
        const std::size_t start = m_pos;
        const auto digits = [this] {
            const std::size_t first = m_pos;
            while (!AtEnd() && IsAsciiDigit(Peek())) ++m_pos;
            return m_pos - first;
        };
        Take("-");
        if (Take("0")) {
            if (!AtEnd() && IsAsciiDigit(Peek())) return Fail("number with a leading zero");
        } else if (digits() == 0) {
            return Fail("malformed number");
        }
        if (Take(".") && digits() == 0) return Fail("malformed number");
        if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
            ++m_pos;
            if (!Take("+")) Take("-");
            if (digits() == 0) return Fail("malformed number");
        }
        double number = 0;
        const auto [end, error] = std::from_chars(m_text.data() + start, m_text.data() + m_pos, number);
        if (error == std::errc::result_out_of_range) {
            m_pos = start;
            return Fail("number out of range");
        }
        if (error != std::errc() || end != m_text.data() + m_pos) return Fail("malformed number");
        return JsonValue{number};
    }

    std::optional<char32_t> ReadHexUnit()
    {
        char32_t unit = 0;
        for (int i = 0; i < 4; ++i, ++m_pos) {
            if (AtEnd()) return Fail("unexpected end of text");
            const char c = AsciiLower(Peek());
            if (IsAsciiDigit(c)) unit = unit * 16 + static_cast<char32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') unit = unit * 16 + static_cast<char32_t>(c - 'a' + 10);
            else return Fail("malformed \\u escape");
        }
        return unit;
    }

    std::optional<std::wstring> ReadString()
    {
        ++m_pos; // '"'
        std::wstring text;
        for (;;) {
            if (AtEnd()) return Fail("unterminated text");
            const auto c = static_cast<unsigned char>(Peek());
            if (c == '"') {
                ++m_pos;
                return text;
            }
            if (c < 0x20) return c == 0 ? Fail("NUL character in text") : Fail("control character in text");
            if (c != '\\') {
                const std::optional<char32_t> codePoint = NextUtf8CodePoint(m_text, m_pos);
                if (!codePoint) return Fail("invalid UTF-8");
                AppendUtf16(text, *codePoint);
                continue;
            }
            ++m_pos;
            if (AtEnd()) return Fail("unterminated text");
            const char escape = Peek();
            ++m_pos;
            switch (escape) {
            case '"': text += L'"'; break;
            case '\\': text += L'\\'; break;
            case '/': text += L'/'; break;
            case 'b': text += L'\b'; break;
            case 'f': text += L'\f'; break;
            case 'n': text += L'\n'; break;
            case 'r': text += L'\r'; break;
            case 't': text += L'\t'; break;
            case 'u': {
                // A code unit as written: a surrogate, paired or not, stays one unit of the
                // UTF-16 text, as page script holds it.
                const std::size_t escapeStart = m_pos - 2;
                const std::optional<char32_t> unit = ReadHexUnit();
                if (!unit) return std::nullopt;
                if (*unit == 0) {
                    m_pos = escapeStart;
                    return Fail("NUL character in text");
                }
                text += static_cast<wchar_t>(*unit);
                break;
            }
            default:
                --m_pos;
                return Fail("unknown escape");
            }
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_error;
};

} // namespace

std::variant<JsonValue, JsonError> ReadJson(std::string_view text)
{
    return JsonReader(text).ReadDocument();
}

} // namespace vl
