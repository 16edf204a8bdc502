#include "com_server/portable/form_properties.h"

#include "com_server/portable/form_definition.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace vl;

namespace {

// Stands in for the code page: characters up to 0xFF are kept, others become '?'.
std::string Latin1(std::u16string_view text)
{
    std::string ansi;
    for (char16_t c : text) ansi += c <= 0xFF ? static_cast<char>(c) : '?';
    return ansi;
}

FormProperties FromDefinition()
{
    FormProperties properties;
    const auto problem = ApplyFormProperties(BuildFormDefinition(), properties, Latin1);
    EXPECT_FALSE(problem) << *problem;
    return properties;
}

ComponentRecord Record(std::vector<PropertyEntry> entries, std::string className = kFormClassName)
{
    ComponentRecord record;
    record.className = std::move(className);
    record.name = kFormName;
    record.properties = std::move(entries);
    return record;
}

// Applies one entry to the definition's values; the message, if refused.
std::optional<std::string> ApplyOne(std::string name, PropertyValue value, FormProperties* result = nullptr)
{
    FormProperties properties = FromDefinition();
    auto problem = ApplyFormProperties(Record({{std::move(name), std::move(value)}}), properties, Latin1);
    if (result) *result = properties;
    return problem;
}

TEST(FormProperties, TheDefinitionGivesTheFormsCreationValues)
{
    const FormProperties p = FromDefinition();
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.top, 0);
    EXPECT_EQ(p.width, 150);
    EXPECT_EQ(p.height, 86);
    EXPECT_EQ(p.caption, "VLServiceAdapterX");
    EXPECT_EQ(p.color, static_cast<std::int32_t>(0x8000000F));
    EXPECT_EQ(p.font.charset, 1);
    EXPECT_EQ(p.font.color, static_cast<std::int32_t>(0x80000008));
    EXPECT_EQ(p.font.height, -11);
    EXPECT_EQ(p.font.name, "Tahoma");
    EXPECT_EQ(p.font.style, 0);
    EXPECT_EQ(p.font.Size(p.pixelsPerInch), 8);
    EXPECT_FALSE(p.oldCreateOrder);
    EXPECT_EQ(p.onCreate, "ActiveFormCreate");
    EXPECT_EQ(p.pixelsPerInch, 96);
    EXPECT_EQ(p.textHeight, 13);
    EXPECT_TRUE(SaveFormProperties(p, p).properties.empty());
}

TEST(FormProperties, EveryPropertySavedLoadsBackThroughTheStream)
{
    const FormProperties defaults = FromDefinition();
    FormProperties changed = defaults;
    changed.left = -5;
    changed.top = 70000;
    changed.width = 300;
    changed.height = 1;
    changed.caption = std::string(300, 'c'); // longer than a short string
    changed.color = 0x00123456;              // no name
    changed.font = {"Arial", -20, 100, static_cast<std::int32_t>(0x80000012), 0x0F};
    changed.parentColor = true;
    changed.parentFont = true;
    changed.oldCreateOrder = true;
    changed.onCreate.clear();
    changed.pixelsPerInch = 120;
    changed.textHeight = 16;
    changed.visible = true;
    changed.autoScroll = true;
    changed.autoSize = true;
    changed.axBorderStyle = 2;
    changed.borderWidth = 4;
    changed.keyPreview = true;
    changed.printScale = -56; // outside the enumeration: kept as a number
    changed.scaled = false;
    changed.dropTarget = true;
    changed.helpFile = "help.hlp";
    changed.popupMode = 2;
    changed.screenSnap = true;
    changed.snapBuffer = -1;
    changed.dockSite = true;
    changed.doubleBuffered = true;
    changed.useDockManager = true;
    changed.enabled = false;
    changed.alignWithMargins = true;

    const ComponentRecord saved = SaveFormProperties(changed, defaults);
    EXPECT_EQ(saved.className, "TVLServiceAdapterX");
    EXPECT_EQ(saved.name, "VLServiceAdapterX");
    EXPECT_TRUE(saved.children.empty());
    const auto bytes = WriteComponentStream(saved);
    ASSERT_TRUE(bytes) << bytes.Error().Text();
    const auto parsed = ReadComponentStream(*bytes);
    ASSERT_TRUE(parsed) << parsed.Error().Text();
    FormProperties loaded = defaults;
    const auto problem = ApplyFormProperties(parsed->root, loaded, Latin1);
    ASSERT_FALSE(problem) << *problem;
    EXPECT_EQ(loaded, changed);

    const PropertyValue* color = saved.FindProperty("Color");
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(color->AsInteger(), 0x00123456);
    const PropertyValue* border = saved.FindProperty("AxBorderStyle");
    ASSERT_NE(border, nullptr);
    EXPECT_EQ(border->AsIdentifier(), "afbSunken");
}

TEST(FormProperties, OnlyChangedPropertiesAreSavedAndNamedValuesAsIdentifiers)
{
    const FormProperties defaults = FromDefinition();
    FormProperties changed = defaults;
    changed.color = static_cast<std::int32_t>(0x80000005);
    changed.font.charset = 136;
    const ComponentRecord saved = SaveFormProperties(changed, defaults);
    ASSERT_EQ(saved.properties.size(), 2u);
    EXPECT_EQ(saved.properties[0].name, "Color");
    EXPECT_EQ(saved.properties[0].value, PropertyValue::Identifier("clWindow"));
    EXPECT_EQ(saved.properties[1].name, "Font.Charset");
    EXPECT_EQ(saved.properties[1].value, PropertyValue::Identifier("CHINESEBIG5_CHARSET"));
}

TEST(FormProperties, IdentifiersAreReadWithoutRegardToCase)
{
    FormProperties p;
    ASSERT_FALSE(ApplyOne("Color", PropertyValue::Identifier("CLWINDOW"), &p));
    EXPECT_EQ(p.color, static_cast<std::int32_t>(0x80000005));
    ASSERT_FALSE(ApplyOne("PopupMode", PropertyValue::Identifier("pmauto"), &p));
    EXPECT_EQ(p.popupMode, 1);
    ASSERT_FALSE(ApplyOne("Font.Style", PropertyValue::Set({"fsItalic", "FSBOLD"}), &p));
    EXPECT_EQ(p.font.style, kFontBold | kFontItalic);
}

TEST(FormProperties, ValuesOfTheWrongTypeAreRefused)
{
    auto refused = ApplyOne("Width", PropertyValue::String("5"));
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->find("Width"), std::string::npos);
    EXPECT_NE(refused->find("Invalid property value"), std::string::npos);

    EXPECT_TRUE(ApplyOne("Visible", PropertyValue::Integer(1)));
    EXPECT_TRUE(ApplyOne("Caption", PropertyValue::Identifier("clRed")));
    EXPECT_TRUE(ApplyOne("Color", PropertyValue::Identifier("clUnheardOf")));
    EXPECT_TRUE(ApplyOne("Font.Charset", PropertyValue::Integer(256)));
    EXPECT_TRUE(ApplyOne("Font.Style", PropertyValue::Set({"fsBlinking"})));
    EXPECT_TRUE(ApplyOne("PrintScale", PropertyValue::Integer(300)));
    EXPECT_TRUE(ApplyOne("AxBorderStyle", PropertyValue::Identifier("afbWavy")));
    EXPECT_TRUE(ApplyOne("OnCreate", PropertyValue::Identifier("SomeOtherHandler")));
    EXPECT_TRUE(ApplyOne("Width", PropertyValue::WideString(u"5")));
}

// What another writer of the format may add: names in any case, wide text, properties the
// form does not have, another class name, child records.
TEST(FormProperties, WhatOtherWritersAddIsReadOrPassedOver)
{
    ComponentRecord record = Record({{"CAPTION", PropertyValue::WideString(u"Caf\u00E9 \u4E2D")},
                                     {"font.name", PropertyValue::WideString(u"Arial")},
                                     {"HelpFile", PropertyValue::LongString("help.hlp")},
                                     {"ClientWidth", PropertyValue::Integer(5)},
                                     {"Designer", PropertyValue::List({PropertyValue::Integer(1)})},
                                     {"onCreate", PropertyValue::Identifier("activeformcreate")},
                                     {"width", PropertyValue::Integer(200)}},
                                    "TForm1");
    record.children.push_back(Record({{"Bogus", PropertyValue::Integer(1)}}, "TButton"));
    FormProperties p = FromDefinition();
    const auto problem = ApplyFormProperties(record, p, Latin1);
    ASSERT_FALSE(problem) << *problem;
    EXPECT_EQ(p.caption, "Caf\xE9 ?");
    EXPECT_EQ(p.font.name, "Arial");
    EXPECT_EQ(p.helpFile, "help.hlp");
    EXPECT_EQ(p.onCreate, "ActiveFormCreate");
    EXPECT_EQ(p.width, 200);
    EXPECT_EQ(SaveFormProperties(p, FromDefinition()).properties.size(), 4u) << "nothing else changed";
}

TEST(FormProperties, FontSizeFollowsHeightAndPixelsPerInch)
{
    FontAttributes font;
    font.height = -11;
    EXPECT_EQ(font.Size(96), 8);
    font.SetSize(8, 96);
    EXPECT_EQ(font.height, -11);
    font.SetSize(10, 120);
    EXPECT_EQ(font.height, -17);
    EXPECT_EQ(font.Size(120), 10);
    EXPECT_EQ(font.Size(0), 0);
    // The extremes a loaded record may hold stay within 32 bits.
    font.height = INT32_MIN;
    EXPECT_EQ(font.Size(72), INT32_MAX);
    font.SetSize(INT32_MIN, 72);
    EXPECT_EQ(font.height, INT32_MAX);
}

} // namespace
