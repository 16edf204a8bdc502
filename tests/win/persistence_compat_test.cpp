// ctest: RESOURCE_LOCK product_state
// Streams as another writer of the component stream format writes them, loaded into the
// control through IPersistStreamInit. The bytes are put together here, byte by byte, so
// that the control's own writer cannot hide a fault of its reader.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>

#include <cstdint>
#include <string>

#include "fixtures/control_instance.h"

namespace {

using vl::test::QueryAs;

// Appends the pieces of the format.
class StreamBuilder {
public:
    StreamBuilder& Raw(const std::string& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    StreamBuilder& Byte(std::uint8_t b)
    {
        m_bytes += static_cast<char>(b);
        return *this;
    }
    StreamBuilder& Short(const std::string& text) { return Byte(static_cast<std::uint8_t>(text.size())).Raw(text); }
    StreamBuilder& Int8(const std::string& name, std::int8_t v) { return Short(name).Byte(2).Byte(v); }
    StreamBuilder& Int16(const std::string& name, std::int16_t v)
    {
        return Short(name).Byte(3).Byte(v & 0xFF).Byte((v >> 8) & 0xFF);
    }
    StreamBuilder& Ident(const std::string& name, const std::string& v) { return Short(name).Byte(7).Short(v); }
    StreamBuilder& Text(const std::string& name, const std::string& v) { return Short(name).Byte(6).Short(v); }
    StreamBuilder& Flag(const std::string& name, bool v) { return Short(name).Byte(v ? 9 : 8); }
    StreamBuilder& Wide(const std::string& name, const std::u16string& v)
    {
        Short(name).Byte(18);
        for (int shift = 0; shift < 32; shift += 8) Byte(static_cast<std::uint8_t>(v.size() >> shift));
        for (char16_t c : v) Byte(c & 0xFF).Byte(c >> 8);
        return *this;
    }
    StreamBuilder& Set(const std::string& name, std::initializer_list<std::string> elements)
    {
        Short(name).Byte(11);
        for (const auto& e : elements) Short(e);
        return Byte(0);
    }
    StreamBuilder& End() { return Byte(0); }

    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// The whole property set of the form definition, with other values, as another writer
// puts it: a prefix byte on the root record, names in other cases, a wide Caption,
// OnCreate naming the handler, a property the form lacks and a child component.
std::string ForeignFormStream()
{
    StreamBuilder b;
    b.Raw("TPF0").Byte(0xF0).Short("TVLServiceAdapterXForm").Short("VLServiceAdapterX");
    b.Int8("Left", 3).Int8("Top", 4).Int16("Width", 300).Int16("HEIGHT", 200);
    b.Wide("Caption", u"Portal \u00E9");
    b.Ident("Color", "clWindow");
    b.Ident("Font.Charset", "ANSI_CHARSET").Ident("font.color", "clRed").Int8("Font.Height", -13);
    b.Wide("Font.Name", u"Arial").Set("Font.Style", {"fsBold"});
    b.Flag("OldCreateOrder", true).Ident("OnCreate", "ActiveFormCreate");
    b.Int8("PixelsPerInch", 96).Int8("TextHeight", 16).Int16("ClientWidth", 296);
    b.End();
    // The child: a button with a property of its own, then the ends of its lists.
    b.Short("TButton").Short("Button1").Text("Caption", "OK").End().End();
    b.End();
    return b.Bytes();
}

class ForeignStreams : public vl::test::ControlInstanceTest {
protected:
    HRESULT Load(const std::string& bytes)
    {
        return QueryAs<IPersistStreamInit>(control.get())->Load(vl::test::MemoryStream(bytes).get());
    }

    std::wstring Caption()
    {
        vl::UniqueBstr caption;
        EXPECT_EQ(control->get_Caption(caption.put()), S_OK);
        return caption.str();
    }
};

TEST_F(ForeignStreams, LoadWithEveryPropertyTheyName)
{
    ASSERT_EQ(Load(ForeignFormStream()), S_OK) << vl::test::TakeErrorDescription();
    const vl::FormProperties& p = Form().Properties();
    EXPECT_EQ(Caption(), L"Portal \u00E9");
    EXPECT_EQ(p.left, 3);
    EXPECT_EQ(p.width, 300);
    EXPECT_EQ(p.height, 200);
    EXPECT_EQ(p.color, static_cast<std::int32_t>(0x80000005));
    EXPECT_EQ(p.font.charset, 0);
    EXPECT_EQ(p.font.color, 0x000000FF);
    EXPECT_EQ(p.font.height, -13);
    EXPECT_EQ(p.font.name, "Arial");
    EXPECT_EQ(p.font.style, vl::kFontBold);
    EXPECT_TRUE(p.oldCreateOrder);
    EXPECT_EQ(p.onCreate, "ActiveFormCreate");
    EXPECT_EQ(p.textHeight, 16);
}

// What cannot be read changes nothing, even when the parts before it could be applied.
TEST_F(ForeignStreams, AnUnreadableOneChangesNothing)
{
    const std::string whole = ForeignFormStream();
    const vl::FormProperties before = Form().Properties();
    const std::string cases[] = {
        whole.substr(0, whole.size() - 5), // ends inside the child
        StreamBuilder().Raw("TPF0").Short("TForm").Short("F").Wide("Caption", u"x").Short("Width").Byte(6)
            .Short("wide").End().End().Bytes(),        // a value the property cannot take
        StreamBuilder().Raw("TPF0").Short("TForm").Short("F").Short("Caption").Byte(18)
            .Raw(std::string("\xFF\xFF\xFF\x7F", 4)).Bytes(), // a wide string longer than the stream
    };
    for (const std::string& bytes : cases) {
        EXPECT_EQ(Load(bytes), DISP_E_EXCEPTION);
        EXPECT_FALSE(vl::test::TakeErrorDescription().empty());
        EXPECT_EQ(Form().Properties(), before);
        EXPECT_EQ(Caption(), L"VLServiceAdapterX");
    }
}

} // namespace
