#include "com_server/portable/component_stream.h"
#include "com_server/portable/form_definition.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace vl;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Write(const ComponentRecord& record)
{
    auto written = WriteComponentStream(record);
    EXPECT_TRUE(written) << written.Error().Text();
    return written ? *written : Bytes{};
}

ComponentRecord Component(std::string className, std::string name = "", std::optional<std::uint8_t> prefix = {})
{
    ComponentRecord record;
    record.prefix = prefix;
    record.className = std::move(className);
    record.name = std::move(name);
    return record;
}

ComponentRecord RecordWith(std::vector<PropertyEntry> properties)
{
    ComponentRecord record = Component("T", "T");
    record.properties = std::move(properties);
    return record;
}

// Writes the record, reads it back, and checks that both sides agree.
void ExpectRoundTrip(const ComponentRecord& record)
{
    const Bytes bytes = Write(record);
    const auto parsed = ReadComponentStream(bytes);
    ASSERT_TRUE(parsed) << parsed.Error().Text();
    EXPECT_EQ(parsed->consumed, bytes.size());
    EXPECT_EQ(parsed->root, record);
}

// "TPF0", a record of class "T" named "T" with one property "P" whose value bytes are `value`.
Bytes StreamWithValue(const Bytes& value)
{
    Bytes bytes{'T', 'P', 'F', '0', 1, 'T', 1, 'T', 1, 'P'};
    bytes.insert(bytes.end(), value.begin(), value.end());
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

void ExpectReadError(const Bytes& bytes, const std::string& message)
{
    const auto parsed = ReadComponentStream(bytes);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.Error().message, message) << parsed.Error().Text();
    EXPECT_FALSE(parsed.Error().detail.empty());
}

void ExpectWriteRefused(const ComponentRecord& record)
{
    const auto written = WriteComponentStream(record);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.Error().message, "Stream write error");
}

PropertyValue NestedLists(int levels)
{
    PropertyValue value = PropertyValue::List({});
    for (int i = 1; i < levels; ++i) value = PropertyValue::List({value});
    return value;
}

} // namespace

TEST(ComponentStream, EveryValueTypeRoundTrips)
{
    ExtendedBytes extended{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0x3F};
    ComponentRecord child = Component("TChild", "", 0xF3);
    child.properties.push_back({"Inner.Value", PropertyValue::Int32(INT32_MIN)});
    ComponentRecord record = RecordWith({
        {"Null", PropertyValue()},
        {"Nil", PropertyValue::Nil()},
        {"No", PropertyValue::Boolean(false)},
        {"Yes", PropertyValue::Boolean(true)},
        {"I8", PropertyValue::Int8(-128)},
        {"I16", PropertyValue::Int16(-32768)},
        {"I32", PropertyValue::Int32(5)}, // keeps its wide type though it would fit 8 bits
        {"Ext", PropertyValue::Extended(extended)},
        {"Str", PropertyValue::String(std::string(255, 's'))},
        {"Ident", PropertyValue::Identifier("clBtnFace")},
        {"LStr", PropertyValue::LongString(std::string(300, 'l'))},
        {"Wide", PropertyValue::WideString(u"\u00e9t\u00e9 \xd83d\xde00")},
        {"Bin", PropertyValue::Binary({0, 1, 2, 0xFF})},
        {"Set", PropertyValue::Set({"fsBold", "fsItalic"})},
        {"Empty", PropertyValue::Set({})},
        {"List", PropertyValue::List({PropertyValue::Int8(1), PropertyValue::String("a"), PropertyValue::Nil(),
                                      PropertyValue::List({})})},
        {"Items", PropertyValue::Collection({
                      CollectionItem{PropertyValue::Int8(3), {{"Caption", PropertyValue::String("x")}}},
                      CollectionItem{std::nullopt, {{"Top", PropertyValue::Int8(2)}}},
                      CollectionItem{},
                  })},
    });
    record.children.push_back(child);
    record.children.push_back(Component("TOther", "Other"));
    ExpectRoundTrip(record);
}

TEST(ComponentStream, IntegersTakeTheSmallestType)
{
    const std::vector<std::pair<std::int32_t, ValueType>> cases = {
        {150, ValueType::Int16}, {86, ValueType::Int8},     {-11, ValueType::Int8},     {70000, ValueType::Int32},
        {127, ValueType::Int8},  {128, ValueType::Int16},   {-128, ValueType::Int8},    {-129, ValueType::Int16},
        {32767, ValueType::Int16}, {32768, ValueType::Int32}, {-32769, ValueType::Int32},
    };
    for (const auto& [number, type] : cases) {
        const PropertyValue value = PropertyValue::Integer(number);
        EXPECT_EQ(value.Type(), type) << number;
        EXPECT_EQ(value.AsInteger(), number);
    }
    // Little-endian, and the value byte follows the type byte.
    EXPECT_EQ(Write(RecordWith({{"P", PropertyValue::Integer(150)}})),
              StreamWithValue({3, 150, 0}));
    EXPECT_EQ(Write(RecordWith({{"P", PropertyValue::Integer(-70000)}})),
              StreamWithValue({4, 0x90, 0xEE, 0xFE, 0xFF}));
}

TEST(ComponentStream, TextPicksTheLongFormOnlyWhenNeeded)
{
    EXPECT_EQ(PropertyValue::Text(std::string(255, 'a')).Type(), ValueType::String);
    EXPECT_EQ(PropertyValue::Text(std::string(256, 'a')).Type(), ValueType::LongString);
    EXPECT_EQ(PropertyValue::Text(std::string(256, 'a')).AsText()->size(), 256u);
}

TEST(ComponentStream, TypedViewsAnswerOnlyForTheirTypes)
{
    const ComponentRecord record = RecordWith({
        {"Width", PropertyValue::Integer(1)},
        {"Width", PropertyValue::Integer(2)},
        {"Caption", PropertyValue::LongString("c")},
        {"Color", PropertyValue::Identifier("clRed")},
    });
    ASSERT_NE(record.FindProperty("Width"), nullptr);
    EXPECT_EQ(record.FindProperty("Width")->AsInteger(), 2); // the later entry wins, as when loading
    EXPECT_EQ(record.FindProperty("Caption")->AsText(), "c");
    EXPECT_FALSE(record.FindProperty("Caption")->AsIdentifier());
    EXPECT_FALSE(record.FindProperty("Color")->AsText());
    EXPECT_FALSE(record.FindProperty("Color")->AsInteger());
    EXPECT_FALSE(PropertyValue::Nil().AsBoolean());
    EXPECT_EQ(record.FindProperty("width"), nullptr);
    EXPECT_EQ(record.FindChild("T"), nullptr);
}

TEST(ComponentStream, WriterRefusesWhatWouldReadBackDifferently)
{
    ExpectWriteRefused(RecordWith({{"P", PropertyValue::String(std::string(256, 'a'))}}));
    ExpectWriteRefused(RecordWith({{"P", PropertyValue::Identifier(std::string(256, 'a'))}}));
    ExpectWriteRefused(RecordWith({{std::string(256, 'n'), PropertyValue::Nil()}}));
    ExpectWriteRefused(RecordWith({{"", PropertyValue::Nil()}}));
    ExpectWriteRefused(RecordWith({{"P", PropertyValue::Set({"a", ""})}}));
    ExpectWriteRefused(RecordWith({{"P", PropertyValue::List({PropertyValue()})}}));
    ExpectWriteRefused(RecordWith({{"P", PropertyValue::Collection({{PropertyValue::String("1"), {}}})}}));
    ExpectWriteRefused(Component("", "n"));
    ExpectWriteRefused(Component(std::string(kMaxClassName + 1, 'T')));
    ExpectWriteRefused(Component("T", "", 0xF8));
    ExpectWriteRefused(Component("T", std::string(256, 'n')));
    ComponentRecord withUnnamedClass = Component("T");
    withUnnamedClass.children.push_back(Component(""));
    ExpectWriteRefused(withUnnamedClass);
}

TEST(ComponentStream, NestingIsBoundedOnBothSides)
{
    // The record is level 1, so a property may hold lists 31 deep.
    ExpectRoundTrip(RecordWith({{"P", NestedLists(kMaxStreamNesting - 1)}}));
    ExpectWriteRefused(RecordWith({{"P", NestedLists(kMaxStreamNesting)}}));

    Bytes deepLists(kMaxStreamNesting, 1);
    deepLists.insert(deepLists.end(), kMaxStreamNesting, 0);
    ExpectReadError(StreamWithValue(deepLists), "Invalid stream format");
    deepLists.pop_back();
    deepLists.erase(deepLists.begin());
    EXPECT_TRUE(ReadComponentStream(StreamWithValue(deepLists)));

    // Child records count too; a hostile stream could nest them without end.
    Bytes deepRecords{'T', 'P', 'F', '0'};
    for (int i = 0; i <= kMaxStreamNesting; ++i) deepRecords.insert(deepRecords.end(), {1, 'T', 0, 0});
    deepRecords.insert(deepRecords.end(), 2 * (kMaxStreamNesting + 1), 0);
    ExpectReadError(deepRecords, "Invalid stream format");

    ComponentRecord root = Component("T");
    ComponentRecord* innermost = &root;
    for (int i = 1; i < kMaxStreamNesting; ++i) innermost = &innermost->children.emplace_back(Component("T"));
    ExpectRoundTrip(root);
    innermost->children.push_back(Component("T"));
    ExpectWriteRefused(root);
}

TEST(ComponentStream, MalformedStreamsGiveErrors)
{
    ExpectReadError({}, "Stream read error");
    ExpectReadError({'T', 'P', 'F', '1', 1, 'T', 0, 0, 0}, "Invalid stream format");
    ExpectReadError(StreamWithValue({15}), "Invalid stream format");  // types outside the format
    ExpectReadError(StreamWithValue({19, 1, 0, 0, 0, 0, 0, 0, 0}), "Invalid stream format");
    ExpectReadError(StreamWithValue({0xFF}), "Invalid stream format");
    // Lengths far beyond the data, in every counted form.
    ExpectReadError(StreamWithValue({12, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}), "Stream read error");
    ExpectReadError(StreamWithValue({10, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}), "Stream read error");
    ExpectReadError(StreamWithValue({18, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 0}), "Stream read error");
    ExpectReadError(StreamWithValue({18, 0x00, 0x00, 0x00, 0x80, 'a', 0}), "Stream read error");
    ExpectReadError(StreamWithValue({6, 0xFF, 'a'}), "Stream read error");
    // A class name is never empty, and a length byte above 0xEF is no class name.
    ExpectReadError({'T', 'P', 'F', '0', 0, 0, 0, 0}, "Invalid stream format");
    Bytes longClassName{'T', 'P', 'F', '0', 0xF8};
    longClassName.insert(longClassName.end(), 0xF8, 'T');
    longClassName.insert(longClassName.end(), {0, 0, 0});
    ExpectReadError(longClassName, "Invalid stream format");
    // A collection item opens with the list marker, after its order if it has one.
    ExpectReadError(StreamWithValue({14, 2, 7, 6, 1, 'a', 0, 0}), "Invalid stream format");
    EXPECT_TRUE(ReadComponentStream(StreamWithValue({14, 2, 7, 1, 0, 1, 0, 0})));
}

TEST(ComponentStream, TrailingBytesAreLeftUnread)
{
    Bytes bytes = Write(BuildFormDefinition());
    const std::size_t size = bytes.size();
    bytes.insert(bytes.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    const auto parsed = ReadComponentStream(bytes);
    ASSERT_TRUE(parsed) << parsed.Error().Text();
    EXPECT_EQ(parsed->consumed, size);
}

TEST(FormDefinition, Is684BytesOfTheListedValueTypes)
{
    const Bytes bytes = Write(BuildFormDefinition());
    EXPECT_EQ(bytes.size(), 684u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "TPF0");

    const auto parsed = ReadComponentStream(bytes);
    ASSERT_TRUE(parsed) << parsed.Error().Text();
    EXPECT_EQ(parsed->consumed, bytes.size());
    const ComponentRecord& form = parsed->root;
    std::vector<const ComponentRecord*> records{&form};
    for (const ComponentRecord& child : form.children) records.push_back(&child);
    for (const ComponentRecord* record : records) {
        EXPECT_FALSE(record->prefix);
        for (const PropertyEntry& entry : record->properties) {
            const auto type = static_cast<int>(entry.value.Type());
            EXPECT_TRUE(type == 2 || type == 3 || type == 6 || type == 7 || type == 8 || type == 9 || type == 11)
                << entry.name << " has type " << type;
        }
    }
}

TEST(FormDefinition, ReadsBackToTheFormValuesInOrder)
{
    const Bytes bytes = Write(BuildFormDefinition());
    const auto parsed = ReadComponentStream(bytes);
    ASSERT_TRUE(parsed) << parsed.Error().Text();
    const ComponentRecord& form = parsed->root;
    EXPECT_EQ(form.className, "TVLServiceAdapterX");
    EXPECT_EQ(form.name, "VLServiceAdapterX");

    std::vector<std::string> names;
    for (const PropertyEntry& entry : form.properties) names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Left", "Top", "Width", "Height", "Caption", "Color", "Font.Charset",
                                               "Font.Color", "Font.Height", "Font.Name", "Font.Style",
                                               "OldCreateOrder", "OnCreate", "PixelsPerInch", "TextHeight"}));
    EXPECT_EQ(form.FindProperty("Left")->AsInteger(), 0);
    EXPECT_EQ(form.FindProperty("Top")->AsInteger(), 0);
    EXPECT_EQ(form.FindProperty("Width")->Type(), ValueType::Int16);
    EXPECT_EQ(form.FindProperty("Width")->AsInteger(), 150);
    EXPECT_EQ(form.FindProperty("Height")->Type(), ValueType::Int8);
    EXPECT_EQ(form.FindProperty("Height")->AsInteger(), 86);
    EXPECT_EQ(form.FindProperty("Caption")->Type(), ValueType::String);
    EXPECT_EQ(form.FindProperty("Caption")->AsText(), "VLServiceAdapterX");
    EXPECT_EQ(form.FindProperty("Color")->AsIdentifier(), "clBtnFace");
    EXPECT_EQ(form.FindProperty("Font.Charset")->AsIdentifier(), "DEFAULT_CHARSET");
    EXPECT_EQ(form.FindProperty("Font.Color")->AsIdentifier(), "clWindowText");
    EXPECT_EQ(form.FindProperty("Font.Height")->AsInteger(), -11);
    EXPECT_EQ(form.FindProperty("Font.Name")->AsText(), "Tahoma");
    ASSERT_TRUE(form.FindProperty("Font.Style")->AsSet());
    EXPECT_TRUE(form.FindProperty("Font.Style")->AsSet()->empty());
    EXPECT_EQ(form.FindProperty("OldCreateOrder")->AsBoolean(), false);
    EXPECT_EQ(form.FindProperty("OnCreate")->AsIdentifier(), "ActiveFormCreate");
    EXPECT_EQ(form.FindProperty("PixelsPerInch")->AsInteger(), 96);
    EXPECT_EQ(form.FindProperty("TextHeight")->AsInteger(), 13);

    ASSERT_EQ(form.children.size(), 2u);
    const ComponentRecord* http = form.FindChild("m_PatchHttp");
    ASSERT_EQ(http, &form.children[0]);
    EXPECT_EQ(http->FindProperty("OnWork")->AsIdentifier(), "m_PatchHttpWork");
    EXPECT_EQ(http->FindProperty("AllowCookies")->AsBoolean(), true);
    EXPECT_EQ(http->FindProperty("ProxyParams.BasicAuthentication")->AsBoolean(), false);
    EXPECT_EQ(http->FindProperty("ProxyParams.ProxyPort")->AsInteger(), 0);
    EXPECT_EQ(http->FindProperty("Request.ContentLength")->AsInteger(), -1);
    EXPECT_EQ(http->FindProperty("Request.Accept")->AsText(), "text/html, */*");
    EXPECT_EQ(http->FindProperty("Request.BasicAuthentication")->AsBoolean(), false);
    EXPECT_EQ(http->FindProperty("Request.UserAgent")->AsText(), "Mozilla/3.0 (compatible; Indy Library)");
    ASSERT_TRUE(http->FindProperty("HTTPOptions")->AsSet());
    EXPECT_EQ(*http->FindProperty("HTTPOptions")->AsSet(), std::vector<std::string>{"hoForceEncodeParams"});
    EXPECT_EQ(http->FindProperty("Left")->AsInteger(), 48);
    EXPECT_EQ(http->FindProperty("Top")->AsInteger(), 8);

    const ComponentRecord* timer = form.FindChild("m_ReadPipeTimer");
    ASSERT_EQ(timer, &form.children[1]);
    EXPECT_EQ(timer->FindProperty("Enabled")->AsBoolean(), false);
    EXPECT_EQ(timer->FindProperty("Interval")->AsInteger(), 100);
    EXPECT_EQ(timer->FindProperty("OnTimer")->AsIdentifier(), "m_ReadPipeTimerTimer");
    EXPECT_EQ(timer->FindProperty("Left")->AsInteger(), 104);
    EXPECT_EQ(timer->FindProperty("Top")->AsInteger(), 48);
    EXPECT_EQ(http->className.size() + timer->className.size(), 13u);
}

TEST(FormDefinition, EveryTruncationIsAReadError)
{
    const Bytes bytes = Write(BuildFormDefinition());
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const auto parsed = ReadComponentStream(std::span(bytes.data(), length));
        ASSERT_FALSE(parsed) << length;
        EXPECT_EQ(parsed.Error().message, "Stream read error") << length;
        EXPECT_LE(parsed.Error().offset, length);
    }
}
