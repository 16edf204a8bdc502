#include "com_server/portable/form_properties.h"

#include <functional>
#include <limits>
#include <span>
#include <vector>

#include "com_server/portable/form_definition.h"

namespace vl {

namespace {

// Rounds a * b / c to the nearest integer, halves away from zero, as the platform's
// MulDiv does; c is never 0 here.
std::int32_t MulDivRounded(std::int32_t a, std::int32_t b, std::int32_t c)
{
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = (c < 0 ? -c : c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
    const std::int64_t result = negative ? -magnitude : magnitude;
    if (result > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (result < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(result);
}

// Each codec turns one kind of property into a stream value and back; Decode leaves the
// field alone and answers false when the value has a type the property cannot take.
struct IntegerCodec {
    static PropertyValue Encode(std::int32_t value) { return PropertyValue::Integer(value); }
    static bool Decode(const PropertyValue& value, std::int32_t& field)
    {
        const auto number = value.AsInteger();
        if (!number) return false;
        field = *number;
        return true;
    }
};

struct BooleanCodec {
    static PropertyValue Encode(bool value) { return PropertyValue::Boolean(value); }
    static bool Decode(const PropertyValue& value, bool& field)
    {
        const auto flag = value.AsBoolean();
        if (!flag) return false;
        field = *flag;
        return true;
    }
};

struct TextCodec {
    static PropertyValue Encode(const std::string& value) { return PropertyValue::Text(value); }
    static bool Decode(const PropertyValue& value, std::string& field)
    {
        const auto text = value.AsText();
        if (!text) return false;
        field = std::string(*text);
        return true;
    }
};

struct ColorCodec {
    static PropertyValue Encode(std::int32_t color)
    {
        if (const auto name = ColorIdentifier(color)) return PropertyValue::Identifier(std::string(*name));
        return PropertyValue::Integer(color);
    }
    static bool Decode(const PropertyValue& value, std::int32_t& field)
    {
        if (const auto name = value.AsIdentifier()) {
            const auto color = ColorFromIdentifier(*name);
            if (!color) return false;
            field = *color;
            return true;
        }
        return IntegerCodec::Decode(value, field);
    }
};

struct CharsetCodec {
    static PropertyValue Encode(std::uint8_t charset)
    {
        if (const auto name = CharsetIdentifier(charset)) return PropertyValue::Identifier(std::string(*name));
        return PropertyValue::Integer(charset);
    }
    static bool Decode(const PropertyValue& value, std::uint8_t& field)
    {
        std::optional<std::uint8_t> charset;
        if (const auto name = value.AsIdentifier()) {
            charset = CharsetFromIdentifier(*name);
        } else if (const auto number = value.AsInteger(); number && *number >= 0 && *number <= 255) {
            charset = static_cast<std::uint8_t>(*number);
        }
        if (!charset) return false;
        field = *charset;
        return true;
    }
};

struct FontStyleCodec {
    static PropertyValue Encode(std::uint8_t style)
    {
        std::vector<std::string> elements;
        for (std::size_t bit = 0; bit < std::size(kFontStyleNames); ++bit)
            if (style & (1u << bit)) elements.emplace_back(kFontStyleNames[bit]);
        return PropertyValue::Set(std::move(elements));
    }
    static bool Decode(const PropertyValue& value, std::uint8_t& field)
    {
        const auto elements = value.AsSet();
        if (!elements) return false;
        std::uint8_t style = 0;
        for (const auto& element : *elements) {
            const auto bit = IndexOfIdentifier(kFontStyleNames, element);
            if (!bit) return false;
            style |= static_cast<std::uint8_t>(1u << *bit);
        }
        field = style;
        return true;
    }
};

// An enumeration held in 8 bits: its identifier while the value names one, else a number.
template <const auto& Names>
struct EnumCodec {
    static PropertyValue Encode(std::int8_t value)
    {
        if (value >= 0 && static_cast<std::size_t>(value) < std::size(Names))
            return PropertyValue::Identifier(std::string(Names[static_cast<std::size_t>(value)]));
        return PropertyValue::Integer(value);
    }
    static bool Decode(const PropertyValue& value, std::int8_t& field)
    {
        if (const auto name = value.AsIdentifier()) {
            const auto index = IndexOfIdentifier(Names, *name);
            if (!index) return false;
            field = static_cast<std::int8_t>(*index);
            return true;
        }
        const auto number = value.AsInteger();
        if (!number || *number < std::numeric_limits<std::int8_t>::min() ||
            *number > std::numeric_limits<std::int8_t>::max())
            return false;
        field = static_cast<std::int8_t>(*number);
        return true;
    }
};

// An event property names a handler method of the form; the form has only the one.
struct HandlerCodec {
    static PropertyValue Encode(const std::string& handler)
    {
        return handler.empty() ? PropertyValue::Nil() : PropertyValue::Identifier(handler);
    }
    static bool Decode(const PropertyValue& value, std::string& field)
    {
        if (value.Type() == ValueType::Nil) {
            field.clear();
            return true;
        }
        const auto name = value.AsIdentifier();
        if (!name || !SameIdentifier(*name, kFormCreateHandler)) return false;
        field = kFormCreateHandler;
        return true;
    }
};

struct PropertyBinding {
    std::string_view name;
    std::function<PropertyValue(const FormProperties&)> encode;
    std::function<bool(const PropertyValue&, FormProperties&)> decode;
};

template <typename Codec, typename Access>
PropertyBinding Bind(std::string_view name, Access access)
{
    return {name, [access](const FormProperties& p) { return Codec::Encode(access(p)); },
            [access](const PropertyValue& value, FormProperties& p) { return Codec::Decode(value, access(p)); }};
}

// The stream names of the form's properties, in the order they are saved.
const std::vector<PropertyBinding>& Bindings()
{
    // clang-format off
    static const std::vector<PropertyBinding> bindings = {
        Bind<IntegerCodec>("Left", [](auto& p) -> auto& { return p.left; }),
        Bind<IntegerCodec>("Top", [](auto& p) -> auto& { return p.top; }),
        Bind<IntegerCodec>("Width", [](auto& p) -> auto& { return p.width; }),
        Bind<IntegerCodec>("Height", [](auto& p) -> auto& { return p.height; }),
        Bind<BooleanCodec>("AlignWithMargins", [](auto& p) -> auto& { return p.alignWithMargins; }),
        Bind<BooleanCodec>("AutoScroll", [](auto& p) -> auto& { return p.autoScroll; }),
        Bind<BooleanCodec>("AutoSize", [](auto& p) -> auto& { return p.autoSize; }),
        Bind<EnumCodec<kAxBorderStyleNames>>("AxBorderStyle", [](auto& p) -> auto& { return p.axBorderStyle; }),
        Bind<IntegerCodec>("BorderWidth", [](auto& p) -> auto& { return p.borderWidth; }),
        Bind<TextCodec>("Caption", [](auto& p) -> auto& { return p.caption; }),
        Bind<ColorCodec>("Color", [](auto& p) -> auto& { return p.color; }),
        Bind<BooleanCodec>("DockSite", [](auto& p) -> auto& { return p.dockSite; }),
        Bind<BooleanCodec>("DoubleBuffered", [](auto& p) -> auto& { return p.doubleBuffered; }),
        Bind<BooleanCodec>("DropTarget", [](auto& p) -> auto& { return p.dropTarget; }),
        Bind<BooleanCodec>("Enabled", [](auto& p) -> auto& { return p.enabled; }),
        Bind<CharsetCodec>("Font.Charset", [](auto& p) -> auto& { return p.font.charset; }),
        Bind<ColorCodec>("Font.Color", [](auto& p) -> auto& { return p.font.color; }),
        Bind<IntegerCodec>("Font.Height", [](auto& p) -> auto& { return p.font.height; }),
        Bind<TextCodec>("Font.Name", [](auto& p) -> auto& { return p.font.name; }),
        Bind<FontStyleCodec>("Font.Style", [](auto& p) -> auto& { return p.font.style; }),
        Bind<TextCodec>("HelpFile", [](auto& p) -> auto& { return p.helpFile; }),
        Bind<BooleanCodec>("KeyPreview", [](auto& p) -> auto& { return p.keyPreview; }),
        Bind<BooleanCodec>("OldCreateOrder", [](auto& p) -> auto& { return p.oldCreateOrder; }),
        Bind<BooleanCodec>("ParentColor", [](auto& p) -> auto& { return p.parentColor; }),
        Bind<BooleanCodec>("ParentFont", [](auto& p) -> auto& { return p.parentFont; }),
        Bind<EnumCodec<kPopupModeNames>>("PopupMode", [](auto& p) -> auto& { return p.popupMode; }),
        Bind<EnumCodec<kPrintScaleNames>>("PrintScale", [](auto& p) -> auto& { return p.printScale; }),
        Bind<BooleanCodec>("Scaled", [](auto& p) -> auto& { return p.scaled; }),
        Bind<BooleanCodec>("ScreenSnap", [](auto& p) -> auto& { return p.screenSnap; }),
        Bind<IntegerCodec>("SnapBuffer", [](auto& p) -> auto& { return p.snapBuffer; }),
        Bind<BooleanCodec>("UseDockManager", [](auto& p) -> auto& { return p.useDockManager; }),
        Bind<BooleanCodec>("Visible", [](auto& p) -> auto& { return p.visible; }),
        Bind<HandlerCodec>("OnCreate", [](auto& p) -> auto& { return p.onCreate; }),
        Bind<IntegerCodec>("PixelsPerInch", [](auto& p) -> auto& { return p.pixelsPerInch; }),
        Bind<IntegerCodec>("TextHeight", [](auto& p) -> auto& { return p.textHeight; }),
    };
    // clang-format on
    return bindings;
}

const PropertyBinding* FindBinding(std::string_view name)
{
    for (const auto& binding : Bindings())
        if (SameIdentifier(binding.name, name)) return &binding;
    return nullptr;
}

} // namespace

// The sign changes inside the 64-bit arithmetic: negating the 32-bit result would
// overflow for the lowest value, which a loaded record may give.
std::int32_t FontAttributes::Size(std::int32_t pixelsPerInch) const
{
    if (pixelsPerInch == 0) return 0;
    return MulDivRounded(height, -72, pixelsPerInch);
}

void FontAttributes::SetSize(std::int32_t points, std::int32_t pixelsPerInch)
{
    height = MulDivRounded(points, pixelsPerInch, -72);
}

std::optional<std::string> ApplyFormProperties(const ComponentRecord& record, FormProperties& properties,
                                               const AnsiFromWide& toAnsi)
{
    for (const auto& entry : record.properties) {
        const PropertyBinding* binding = FindBinding(entry.name);
        if (!binding) continue;
        const auto wide = entry.value.AsWideString();
        const PropertyValue value = wide ? PropertyValue::Text(toAnsi(*wide)) : entry.value;
        if (!binding->decode(value, properties))
            return "Error reading " + record.name + "." + entry.name + ": Invalid property value";
    }
    return std::nullopt;
}

ComponentRecord SaveFormProperties(const FormProperties& properties, const FormProperties& defaults)
{
    ComponentRecord record{.className = kFormClassName, .name = kFormName};
    for (const auto& binding : Bindings()) {
        PropertyValue value = binding.encode(properties);
        if (value != binding.encode(defaults)) record.properties.push_back({std::string(binding.name), std::move(value)});
    }
    return record;
}

} // namespace vl
