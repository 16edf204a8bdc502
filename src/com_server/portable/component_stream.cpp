#include "com_server/portable/component_stream.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace vl {

namespace {

constexpr std::string_view kSignature = "TPF0";
constexpr char kReadError[] = "Stream read error";
constexpr char kFormatError[] = "Invalid stream format";
constexpr char kWriteError[] = "Stream write error";
// Opens each item of a collection; it keeps an item without an order apart from one
// whose first property name happens to be 2 to 4 bytes long.
constexpr std::uint8_t kListMarker = static_cast<std::uint8_t>(ValueType::List);
constexpr std::uint8_t kEndMarker = 0;

bool IsPrefixByte(std::uint8_t b) { return b >= 0xF0 && b <= 0xF7; }

bool IsIntegerType(ValueType type)
{
    return type == ValueType::Int8 || type == ValueType::Int16 || type == ValueType::Int32;
}

std::string NestingDetail() { return "nesting deeper than " + std::to_string(kMaxStreamNesting) + " levels"; }

// Both sides refuse the same class names, so whatever reads also writes back.
std::optional<std::string> ClassNameProblem(std::string_view className)
{
    if (className.empty()) return std::string("empty class name");
    if (className.size() > kMaxClassName)
        return "class name of " + std::to_string(className.size()) + " bytes (at most " +
               std::to_string(kMaxClassName) + ")";
    return std::nullopt;
}

class StreamReader {
public:
    explicit StreamReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    bool ReadStream(ComponentRecord& root)
    {
        std::span<const std::uint8_t> signature;
        if (!ReadBytes(kSignature.size(), "the signature", signature)) return false;
        if (!std::equal(signature.begin(), signature.end(), kSignature.begin()))
            return Fail(kFormatError, "no \"TPF0\" signature", 0);
        return ReadRecord(root, 1);
    }

    std::size_t Position() const { return m_pos; }
    StreamError TakeError() { return std::move(m_error); }

private:
    std::size_t Left() const { return m_bytes.size() - m_pos; }

    bool Fail(const char* message, std::string detail, std::size_t offset)
    {
        m_error = StreamError{message, std::move(detail), offset};
        return false;
    }

    bool Need(std::size_t count, std::string_view what)
    {
        if (count <= Left()) return true;
        return Fail(kReadError,
                    std::string(what) + " needs " + std::to_string(count) + " bytes, " + std::to_string(Left()) +
                        " left",
                    m_pos);
    }

    bool ReadBytes(std::size_t count, std::string_view what, std::span<const std::uint8_t>& out)
    {
        if (!Need(count, what)) return false;
        out = m_bytes.subspan(m_pos, count);
        m_pos += count;
        return true;
    }

    bool PeekByte(std::string_view what, std::uint8_t& out)
    {
        if (!Need(1, what)) return false;
        out = m_bytes[m_pos];
        return true;
    }

    bool ReadByte(std::string_view what, std::uint8_t& out)
    {
        if (!PeekByte(what, out)) return false;
        ++m_pos;
        return true;
    }

    bool ReadLittleEndian(std::size_t width, std::string_view what, std::uint32_t& out)
    {
        std::span<const std::uint8_t> bytes;
        if (!ReadBytes(width, what, bytes)) return false;
        out = 0;
        for (std::size_t i = width; i-- > 0;) out = (out << 8) | bytes[i];
        return true;
    }

    bool ReadShortString(std::string_view what, std::string& out)
    {
        std::uint8_t length = 0;
        std::span<const std::uint8_t> bytes;
        if (!ReadByte(what, length) || !ReadBytes(length, what, bytes)) return false;
        out.assign(bytes.begin(), bytes.end());
        return true;
    }

    // A 32-bit length of `unitSize`-byte units, then the units; the length is checked
    // against the bytes left before anything is allocated.
    bool ReadCounted(std::size_t unitSize, std::string_view what, std::span<const std::uint8_t>& out)
    {
        std::uint32_t count = 0;
        if (!ReadLittleEndian(4, what, count)) return false;
        if (count > Left() / unitSize)
            return Fail(kReadError,
                        std::string(what) + " of " + std::to_string(count) + " units exceeds the " +
                            std::to_string(Left()) + " bytes left",
                        m_pos - 4);
        return ReadBytes(count * unitSize, what, out);
    }

    bool CheckDepth(int depth)
    {
        return depth <= kMaxStreamNesting || Fail(kFormatError, NestingDetail(), m_pos);
    }

    // Hands each item's first byte to `readItem` until the end marker, which is consumed.
    template <typename ReadItem>
    bool ReadUntilEnd(std::string_view what, ReadItem readItem)
    {
        for (;;) {
            std::uint8_t next = 0;
            if (!PeekByte(what, next)) return false;
            if (next == kEndMarker) {
                ++m_pos;
                return true;
            }
            if (!readItem(next)) return false;
        }
    }

    bool ReadRecord(ComponentRecord& record, int depth)
    {
        if (!CheckDepth(depth)) return false;
        std::uint8_t first = 0;
        if (!PeekByte("a component record", first)) return false;
        if (IsPrefixByte(first)) {
            record.prefix = first;
            ++m_pos;
        }
        const std::size_t classAt = m_pos;
        if (!ReadShortString("a class name", record.className)) return false;
        if (auto problem = ClassNameProblem(record.className)) return Fail(kFormatError, *problem, classAt);
        return ReadShortString("a component name", record.name) && ReadEntries(record.properties, depth) &&
               ReadUntilEnd("the child records",
                            [&](std::uint8_t) { return ReadRecord(record.children.emplace_back(), depth + 1); });
    }

    bool ReadEntries(std::vector<PropertyEntry>& entries, int depth)
    {
        return ReadUntilEnd("the property entries", [&](std::uint8_t) {
            PropertyEntry& entry = entries.emplace_back();
            return ReadShortString("a property name", entry.name) && ReadValue(entry.value, depth);
        });
    }

    // `depth` is the level of whatever holds the value; a list or collection is one deeper.
    bool ReadValue(PropertyValue& value, int depth)
    {
        const std::size_t at = m_pos;
        std::uint8_t typeByte = 0;
        if (!ReadByte("a value type", typeByte)) return false;
        std::span<const std::uint8_t> bytes;
        std::uint32_t number = 0;
        std::string text;
        switch (static_cast<ValueType>(typeByte)) {
        case ValueType::Null: value = PropertyValue(); return true;
        case ValueType::Nil: value = PropertyValue::Nil(); return true;
        case ValueType::False: value = PropertyValue::Boolean(false); return true;
        case ValueType::True: value = PropertyValue::Boolean(true); return true;
        case ValueType::Int8:
            if (!ReadLittleEndian(1, "an 8-bit integer", number)) return false;
            value = PropertyValue::Int8(static_cast<std::int8_t>(number));
            return true;
        case ValueType::Int16:
            if (!ReadLittleEndian(2, "a 16-bit integer", number)) return false;
            value = PropertyValue::Int16(static_cast<std::int16_t>(number));
            return true;
        case ValueType::Int32:
            if (!ReadLittleEndian(4, "a 32-bit integer", number)) return false;
            value = PropertyValue::Int32(static_cast<std::int32_t>(number));
            return true;
        case ValueType::Extended: {
            if (!ReadBytes(10, "an extended float", bytes)) return false;
            ExtendedBytes raw{};
            std::copy(bytes.begin(), bytes.end(), raw.begin());
            value = PropertyValue::Extended(raw);
            return true;
        }
        case ValueType::String:
            if (!ReadShortString("a string", text)) return false;
            value = PropertyValue::String(std::move(text));
            return true;
        case ValueType::Identifier:
            if (!ReadShortString("an identifier", text)) return false;
            value = PropertyValue::Identifier(std::move(text));
            return true;
        case ValueType::LongString:
            if (!ReadCounted(1, "a long string", bytes)) return false;
            value = PropertyValue::LongString(std::string(bytes.begin(), bytes.end()));
            return true;
        case ValueType::Binary:
            if (!ReadCounted(1, "a byte block", bytes)) return false;
            value = PropertyValue::Binary(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
            return true;
        case ValueType::WideString: {
            if (!ReadCounted(2, "a wide string", bytes)) return false;
            std::u16string wide(bytes.size() / 2, u'\0');
            for (std::size_t i = 0; i < wide.size(); ++i)
                wide[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
            value = PropertyValue::WideString(std::move(wide));
            return true;
        }
        case ValueType::Set: return ReadSet(value);
        case ValueType::List: return ReadList(value, depth + 1);
        case ValueType::Collection: return ReadCollection(value, depth + 1);
        }
        return Fail(kFormatError, "unknown value type " + std::to_string(typeByte), at);
    }

    bool ReadSet(PropertyValue& value)
    {
        std::vector<std::string> elements;
        for (;;) {
            std::string element;
            if (!ReadShortString("a set element", element)) return false;
            if (element.empty()) break;
            elements.push_back(std::move(element));
        }
        value = PropertyValue::Set(std::move(elements));
        return true;
    }

    bool ReadList(PropertyValue& value, int depth)
    {
        std::vector<PropertyValue> items;
        if (!CheckDepth(depth) ||
            !ReadUntilEnd("a list", [&](std::uint8_t) { return ReadValue(items.emplace_back(), depth); }))
            return false;
        value = PropertyValue::List(std::move(items));
        return true;
    }

    bool ReadCollection(PropertyValue& value, int depth)
    {
        std::vector<CollectionItem> items;
        const auto readItem = [&](std::uint8_t next) {
            CollectionItem& item = items.emplace_back();
            if (IsIntegerType(static_cast<ValueType>(next)) && !ReadValue(item.order.emplace(), depth)) return false;
            const std::size_t markerAt = m_pos;
            std::uint8_t marker = 0;
            if (!ReadByte("a collection item", marker)) return false;
            if (marker != kListMarker) return Fail(kFormatError, "collection item without its list marker", markerAt);
            return ReadEntries(item.properties, depth);
        };
        if (!CheckDepth(depth) || !ReadUntilEnd("a collection", readItem)) return false;
        value = PropertyValue::Collection(std::move(items));
        return true;
    }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    StreamError m_error;
};

class StreamWriter {
public:
    bool WriteStream(const ComponentRecord& root)
    {
        m_out.assign(kSignature.begin(), kSignature.end());
        return WriteRecord(root, 1);
    }

    std::vector<std::uint8_t> TakeBytes() { return std::move(m_out); }
    StreamError TakeError() { return std::move(m_error); }

private:
    bool Fail(std::string detail)
    {
        m_error = StreamError{kWriteError, std::move(detail), m_out.size()};
        return false;
    }

    void PutByte(std::uint8_t b) { m_out.push_back(b); }

    void PutLittleEndian(std::uint32_t value, std::size_t width)
    {
        for (std::size_t i = 0; i < width; ++i) PutByte(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    template <typename Bytes>
    void PutBytes(const Bytes& bytes)
    {
        m_out.insert(m_out.end(), bytes.begin(), bytes.end());
    }

    bool PutShortString(std::string_view text, std::string_view what)
    {
        if (text.size() > kMaxShortString)
            return Fail(std::string(what) + " of " + std::to_string(text.size()) + " bytes does not fit a short string");
        PutByte(static_cast<std::uint8_t>(text.size()));
        PutBytes(text);
        return true;
    }

    bool PutNonEmptyShortString(std::string_view text, std::string_view what)
    {
        if (text.empty()) return Fail("empty " + std::string(what) + " would read as an end marker");
        return PutShortString(text, what);
    }

    bool PutCount(std::size_t count, std::string_view what)
    {
        if (count != static_cast<std::uint32_t>(count))
            return Fail(std::string(what) + " longer than a 32-bit length allows");
        PutLittleEndian(static_cast<std::uint32_t>(count), 4);
        return true;
    }

    bool CheckDepth(int depth) { return depth <= kMaxStreamNesting || Fail(NestingDetail()); }

    bool WriteRecord(const ComponentRecord& record, int depth)
    {
        if (!CheckDepth(depth)) return false;
        if (record.prefix) {
            if (!IsPrefixByte(*record.prefix)) return Fail("prefix byte outside 0xF0..0xF7");
            PutByte(*record.prefix);
        }
        if (auto problem = ClassNameProblem(record.className)) return Fail(*problem);
        if (!PutShortString(record.className, "a class name") || !PutShortString(record.name, "a component name") ||
            !WriteEntries(record.properties, depth))
            return false;
        for (const ComponentRecord& child : record.children)
            if (!WriteRecord(child, depth + 1)) return false;
        PutByte(kEndMarker);
        return true;
    }

    bool WriteEntries(const std::vector<PropertyEntry>& entries, int depth)
    {
        for (const PropertyEntry& entry : entries)
            if (!PutNonEmptyShortString(entry.name, "property name") || !WriteValue(entry.value, depth)) return false;
        PutByte(kEndMarker);
        return true;
    }

    bool WriteValue(const PropertyValue& value, int depth)
    {
        PutByte(static_cast<std::uint8_t>(value.Type()));
        switch (value.Type()) {
        case ValueType::Null:
        case ValueType::Nil:
        case ValueType::False:
        case ValueType::True: return true;
        case ValueType::Int8: PutLittleEndian(static_cast<std::uint32_t>(*value.AsInteger()), 1); return true;
        case ValueType::Int16: PutLittleEndian(static_cast<std::uint32_t>(*value.AsInteger()), 2); return true;
        case ValueType::Int32: PutLittleEndian(static_cast<std::uint32_t>(*value.AsInteger()), 4); return true;
        case ValueType::Extended: PutBytes(*value.AsExtended()); return true;
        case ValueType::String: return PutShortString(*value.AsText(), "a string");
        case ValueType::Identifier: return PutShortString(*value.AsIdentifier(), "an identifier");
        case ValueType::LongString: {
            const std::string_view text = *value.AsText();
            if (!PutCount(text.size(), "a long string")) return false;
            PutBytes(text);
            return true;
        }
        case ValueType::Binary: {
            const auto bytes = *value.AsBinary();
            if (!PutCount(bytes.size(), "a byte block")) return false;
            PutBytes(bytes);
            return true;
        }
        case ValueType::WideString: {
            const std::u16string_view text = *value.AsWideString();
            if (!PutCount(text.size(), "a wide string")) return false;
            for (char16_t unit : text) PutLittleEndian(unit, 2);
            return true;
        }
        case ValueType::Set:
            for (const std::string& element : *value.AsSet())
                if (!PutNonEmptyShortString(element, "set element")) return false;
            PutByte(kEndMarker);
            return true;
        case ValueType::List:
            if (!CheckDepth(depth + 1)) return false;
            for (const PropertyValue& item : *value.AsList()) {
                if (item.Type() == ValueType::Null) return Fail("a null value inside a list would end it");
                if (!WriteValue(item, depth + 1)) return false;
            }
            PutByte(kEndMarker);
            return true;
        case ValueType::Collection:
            if (!CheckDepth(depth + 1)) return false;
            for (const CollectionItem& item : *value.AsCollection()) {
                if (item.order) {
                    if (!IsIntegerType(item.order->Type())) return Fail("collection item order that is not an integer");
                    if (!WriteValue(*item.order, depth + 1)) return false;
                }
                PutByte(kListMarker);
                if (!WriteEntries(item.properties, depth + 1)) return false;
            }
            PutByte(kEndMarker);
            return true;
        }
        return Fail("unknown value type " + std::to_string(static_cast<int>(value.Type())));
    }

    std::vector<std::uint8_t> m_out;
    StreamError m_error;
};

} // namespace

PropertyValue::PropertyValue(ValueType type, Payload payload) : m_type(type), m_payload(std::move(payload)) {}

PropertyValue PropertyValue::Nil() { return {ValueType::Nil, std::monostate{}}; }

PropertyValue PropertyValue::Boolean(bool value)
{
    return {value ? ValueType::True : ValueType::False, std::monostate{}};
}

PropertyValue PropertyValue::Integer(std::int32_t value)
{
    if (value >= INT8_MIN && value <= INT8_MAX) return Int8(static_cast<std::int8_t>(value));
    if (value >= INT16_MIN && value <= INT16_MAX) return Int16(static_cast<std::int16_t>(value));
    return Int32(value);
}

PropertyValue PropertyValue::Int8(std::int8_t value) { return {ValueType::Int8, std::int32_t{value}}; }
PropertyValue PropertyValue::Int16(std::int16_t value) { return {ValueType::Int16, std::int32_t{value}}; }
PropertyValue PropertyValue::Int32(std::int32_t value) { return {ValueType::Int32, value}; }
PropertyValue PropertyValue::Extended(const ExtendedBytes& bytes) { return {ValueType::Extended, bytes}; }
PropertyValue PropertyValue::String(std::string text) { return {ValueType::String, std::move(text)}; }

PropertyValue PropertyValue::Text(std::string text)
{
    return text.size() <= kMaxShortString ? String(std::move(text)) : LongString(std::move(text));
}

PropertyValue PropertyValue::LongString(std::string text) { return {ValueType::LongString, std::move(text)}; }
PropertyValue PropertyValue::Identifier(std::string name) { return {ValueType::Identifier, std::move(name)}; }
PropertyValue PropertyValue::WideString(std::u16string text) { return {ValueType::WideString, std::move(text)}; }
PropertyValue PropertyValue::Binary(std::vector<std::uint8_t> bytes) { return {ValueType::Binary, std::move(bytes)}; }
PropertyValue PropertyValue::Set(std::vector<std::string> elements) { return {ValueType::Set, std::move(elements)}; }
PropertyValue PropertyValue::List(std::vector<PropertyValue> values) { return {ValueType::List, std::move(values)}; }

PropertyValue PropertyValue::Collection(std::vector<CollectionItem> items)
{
    return {ValueType::Collection, std::move(items)};
}

std::optional<std::int32_t> PropertyValue::AsInteger() const
{
    if (!IsIntegerType(m_type)) return std::nullopt;
    return std::get<std::int32_t>(m_payload);
}

std::optional<bool> PropertyValue::AsBoolean() const
{
    if (m_type != ValueType::False && m_type != ValueType::True) return std::nullopt;
    return m_type == ValueType::True;
}

std::optional<std::string_view> PropertyValue::AsText() const
{
    if (m_type != ValueType::String && m_type != ValueType::LongString) return std::nullopt;
    return std::string_view(std::get<std::string>(m_payload));
}

std::optional<std::string_view> PropertyValue::AsIdentifier() const
{
    if (m_type != ValueType::Identifier) return std::nullopt;
    return std::string_view(std::get<std::string>(m_payload));
}

std::optional<std::u16string_view> PropertyValue::AsWideString() const
{
    if (m_type != ValueType::WideString) return std::nullopt;
    return std::u16string_view(std::get<std::u16string>(m_payload));
}

std::optional<ExtendedBytes> PropertyValue::AsExtended() const
{
    if (m_type != ValueType::Extended) return std::nullopt;
    return std::get<ExtendedBytes>(m_payload);
}

const std::vector<std::uint8_t>* PropertyValue::AsBinary() const
{
    return m_type == ValueType::Binary ? &std::get<std::vector<std::uint8_t>>(m_payload) : nullptr;
}

const std::vector<std::string>* PropertyValue::AsSet() const
{
    return m_type == ValueType::Set ? &std::get<std::vector<std::string>>(m_payload) : nullptr;
}

const std::vector<PropertyValue>* PropertyValue::AsList() const
{
    return m_type == ValueType::List ? &std::get<std::vector<PropertyValue>>(m_payload) : nullptr;
}

const std::vector<CollectionItem>* PropertyValue::AsCollection() const
{
    return m_type == ValueType::Collection ? &std::get<std::vector<CollectionItem>>(m_payload) : nullptr;
}

const PropertyValue* ComponentRecord::FindProperty(std::string_view propertyName) const
{
    const auto found = std::find_if(properties.rbegin(), properties.rend(),
                                    [&](const PropertyEntry& entry) { return entry.name == propertyName; });
    return found == properties.rend() ? nullptr : &found->value;
}

const ComponentRecord* ComponentRecord::FindChild(std::string_view componentName) const
{
    const auto found = std::find_if(children.begin(), children.end(),
                                    [&](const ComponentRecord& child) { return child.name == componentName; });
    return found == children.end() ? nullptr : &*found;
}

std::string StreamError::Text() const
{
    return message + ": " + detail + " (offset " + std::to_string(offset) + ")";
}

StreamResult<ParsedComponentStream> ReadComponentStream(std::span<const std::uint8_t> bytes)
{
    try {
        StreamReader reader(bytes);
        ParsedComponentStream parsed;
        if (!reader.ReadStream(parsed.root)) return reader.TakeError();
        parsed.consumed = reader.Position();
        return parsed;
    } catch (const std::exception& e) {
        return StreamError{kReadError, e.what(), 0};
    }
}

StreamResult<std::vector<std::uint8_t>> WriteComponentStream(const ComponentRecord& root)
{
    try {
        StreamWriter writer;
        if (!writer.WriteStream(root)) return writer.TakeError();
        return writer.TakeBytes();
    } catch (const std::exception& e) {
        return StreamError{kWriteError, e.what(), 0};
    }
}

} // namespace vl
