#include "service_host/portable/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "service_host/portable/utf8_text.h"

namespace vl {
namespace {

void AppendEscapedUnit(std::string& out, char32_t unit)
{
    constexpr char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

void WriteText(std::string& out, std::wstring_view text)
{
    out += '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<char32_t>(text[i]) & 0xFFFF;
        switch (unit) {
        case U'"': out += "\\\""; continue;
        case U'\\': out += "\\\\"; continue;
        case U'\n': out += "\\n"; continue;
        case U'\r': out += "\\r"; continue;
        case U'\t': out += "\\t"; continue;
        default: break;
        }
        if (unit < 0x20) {
            AppendEscapedUnit(out, unit);
        } else if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1] & 0xFFFF)) {
            const auto low = static_cast<char32_t>(text[++i]) & 0xFFFF;
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendEscapedUnit(out, unit);
        } else {
            AppendUtf8(out, unit);
        }
    }
    out += '"';
}

void WriteNumber(std::string& out, double number)
{
    // The numbers of the page contract are whole; they are written without a fraction.
    constexpr double kLargestExactInteger = 9007199254740991.0;
    char buffer[32];
    std::to_chars_result written;
    if (!std::isfinite(number)) {
        out += "null"; // JSON has no infinity; the reader never makes one
        return;
    }
    if (std::trunc(number) == number && std::fabs(number) <= kLargestExactInteger)
        written = std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(number));
    else
        written = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.append(buffer, written.ptr);
}

void Write(std::string& out, const JsonValue& value)
{
    if (value.As<std::nullptr_t>()) {
        out += "null";
    } else if (const bool* flag = value.As<bool>()) {
        out += *flag ? "true" : "false";
    } else if (const double* number = value.As<double>()) {
        WriteNumber(out, *number);
    } else if (const std::wstring* text = value.As<std::wstring>()) {
        WriteText(out, *text);
    } else if (const JsonArray* array = value.As<JsonArray>()) {
        out += '[';
        for (std::size_t i = 0; i < array->size(); ++i) {
            if (i) out += ',';
            Write(out, (*array)[i]);
        }
        out += ']';
    } else if (const JsonObject* object = value.As<JsonObject>()) {
        out += '{';
        for (std::size_t i = 0; i < object->size(); ++i) {
            if (i) out += ',';
            WriteText(out, (*object)[i].first);
            out += ':';
            Write(out, (*object)[i].second);
        }
        out += '}';
    }
}

} // namespace

std::string WriteJson(const JsonValue& value)
{
    std::string out;
    Write(out, value);
    return out;
}

} // namespace vl
