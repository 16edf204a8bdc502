// The component stream format ("TPF0"): the form definition in the module's resources
// and the control's persisted properties are stored in it. A record holds a class name,
// a component name, typed property entries and the records of child components.
//
// Streams come from outside: a page hands the control a persisted stream, so the reader
// checks every length against the bytes left, bounds nesting, and reports failures as
// values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vl {

// The value-type byte that precedes each value.
enum class ValueType : std::uint8_t {
    Null = 0,
    List = 1,
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    Extended = 5,
    String = 6,
    Identifier = 7,
    False = 8,
    True = 9,
    Binary = 10,
    Set = 11,
    LongString = 12,
    Nil = 13,
    Collection = 14,
    WideString = 18,
};

// Records, lists and collections nest at most this deep; the root record is level 1.
inline constexpr int kMaxStreamNesting = 32;
// Short strings (names, identifiers, set elements) hold at most this many bytes.
inline constexpr std::size_t kMaxShortString = 255;
// A class name's length byte must stay below the prefix bytes 0xF0..0xF7.
inline constexpr std::size_t kMaxClassName = 0xEF;

// An 80-bit float exactly as stored; nothing here computes with it.
using ExtendedBytes = std::array<std::uint8_t, 10>;

struct PropertyEntry;
struct CollectionItem;

// One typed value. The factories keep the type and the payload consistent; a value read
// from a stream keeps the type it was stored with, so writing it back gives the same bytes.
class PropertyValue {
public:
    PropertyValue() = default; // Null

    static PropertyValue Nil();
    static PropertyValue Boolean(bool value);
    // The smallest of Int8, Int16 and Int32 that holds the value.
    static PropertyValue Integer(std::int32_t value);
    static PropertyValue Int8(std::int8_t value);
    static PropertyValue Int16(std::int16_t value);
    static PropertyValue Int32(std::int32_t value);
    static PropertyValue Extended(const ExtendedBytes& bytes);
    // A short string; the writer refuses one longer than kMaxShortString.
    static PropertyValue String(std::string text);
    // A short string when the text fits one, a long string otherwise.
    static PropertyValue Text(std::string text);
    static PropertyValue LongString(std::string text);
    static PropertyValue Identifier(std::string name);
    static PropertyValue WideString(std::u16string text);
    static PropertyValue Binary(std::vector<std::uint8_t> bytes);
    static PropertyValue Set(std::vector<std::string> elements);
    static PropertyValue List(std::vector<PropertyValue> values);
    static PropertyValue Collection(std::vector<CollectionItem> items);

    ValueType Type() const { return m_type; }

    // Typed views: empty (or null) when the value is of another type. Views and pointers
    // live as long as the value. Aggregates come as pointers so that `for (x : *v.AsSet())`
    // does not iterate over a destroyed temporary.
    std::optional<std::int32_t> AsInteger() const;           // Int8, Int16, Int32
    std::optional<bool> AsBoolean() const;                   // False, True
    std::optional<std::string_view> AsText() const;          // String, LongString
    std::optional<std::string_view> AsIdentifier() const;    // Identifier
    std::optional<std::u16string_view> AsWideString() const; // WideString
    std::optional<ExtendedBytes> AsExtended() const;
    const std::vector<std::uint8_t>* AsBinary() const;
    const std::vector<std::string>* AsSet() const;
    const std::vector<PropertyValue>* AsList() const;
    const std::vector<CollectionItem>* AsCollection() const;

    bool operator==(const PropertyValue&) const = default;

private:
    using Payload = std::variant<std::monostate, std::int32_t, std::string, std::u16string, ExtendedBytes,
                                 std::vector<std::uint8_t>, std::vector<std::string>,
                                 std::vector<PropertyValue>, std::vector<CollectionItem>>;
    PropertyValue(ValueType type, Payload payload);

    ValueType m_type = ValueType::Null;
    Payload m_payload;
};

// A property name may be dotted ("Font.Name"): to the stream it is just a name.
struct PropertyEntry {
    std::string name;
    PropertyValue value;
    bool operator==(const PropertyEntry&) const = default;
};

// An item of a collection value: an optional order (an integer value) and its properties.
struct CollectionItem {
    std::optional<PropertyValue> order;
    std::vector<PropertyEntry> properties;
    bool operator==(const CollectionItem&) const = default;
};

struct ComponentRecord {
    std::optional<std::uint8_t> prefix; // 0xF0..0xF7, flags in the low bits
    std::string className;
    std::string name;
    std::vector<PropertyEntry> properties;
    std::vector<ComponentRecord> children;

    // The value of the last entry with this name (loading applies entries in order, so
    // the last one is what a component ends up with); nullptr when there is none.
    const PropertyValue* FindProperty(std::string_view propertyName) const;
    const ComponentRecord* FindChild(std::string_view componentName) const;

    bool operator==(const ComponentRecord&) const = default;
};

struct StreamError {
    std::string message; // "Stream read error", "Invalid stream format" or "Stream write error"
    std::string detail;
    std::size_t offset = 0; // where the failing item starts (reading) or ends so far (writing)

    std::string Text() const;
};

template <typename T>
class StreamResult {
public:
    StreamResult(T value) : m_state(std::move(value)) {}
    StreamResult(StreamError error) : m_state(std::move(error)) {}

    explicit operator bool() const { return m_state.index() == 0; }
    const T& operator*() const { return std::get<0>(m_state); }
    T& operator*() { return std::get<0>(m_state); }
    const T* operator->() const { return &std::get<0>(m_state); }
    T* operator->() { return &std::get<0>(m_state); }
    const StreamError& Error() const { return std::get<1>(m_state); }

private:
    std::variant<T, StreamError> m_state;
};

struct ParsedComponentStream {
    ComponentRecord root;
    // Bytes up to the end of the root record. Anything after it is not read: a container's
    // stream may go on with its own data.
    std::size_t consumed = 0;
};

StreamResult<ParsedComponentStream> ReadComponentStream(std::span<const std::uint8_t> bytes);

// The signature and the record. Refused, rather than written so that it would read back
// differently or not at all: short strings over 255 bytes, empty class names or ones over
// kMaxClassName bytes, empty property names and set elements (each would read as an end
// marker), a null value inside a list, a collection order that is not an integer, a prefix
// outside 0xF0..0xF7, lengths beyond 32 bits and nesting deeper than kMaxStreamNesting.
// The reader refuses the same, so whatever it accepts writes back to the same bytes.
StreamResult<std::vector<std::uint8_t>> WriteComponentStream(const ComponentRecord& root);

} // namespace vl
