// The properties of the control's form as plain values, and their exchange with a form
// record of the component stream format: the definition the form is built from and the
// record that persistence saves and loads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "com_server/portable/component_stream.h"
#include "com_server/portable/form_identifiers.h"

namespace vl {

// Bits of FontAttributes::style, in the order of kFontStyleNames.
inline constexpr std::uint8_t kFontBold = 1;
inline constexpr std::uint8_t kFontItalic = 2;
inline constexpr std::uint8_t kFontUnderline = 4;
inline constexpr std::uint8_t kFontStrikeOut = 8;

// The form's creation handler named by the definition's OnCreate.
inline constexpr char kFormCreateHandler[] = "ActiveFormCreate";

struct FontAttributes {
    std::string name = "MS Sans Serif";
    // In pixels; negative values give the character height, as the definition's -11.
    std::int32_t height = -11;
    std::uint8_t charset = kDefaultCharset;
    std::int32_t color = clWindowText;
    std::uint8_t style = 0;

    // The size in points at `pixelsPerInch`, rounded: -11 at 96 is 8.
    std::int32_t Size(std::int32_t pixelsPerInch) const;
    void SetSize(std::int32_t points, std::int32_t pixelsPerInch);

    bool operator==(const FontAttributes&) const = default;
};

// Values before any definition is applied are the class defaults of a form; the
// definition then sets what it names.
struct FormProperties {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 320;
    std::int32_t height = 240;
    std::string caption; // ANSI
    std::int32_t color = clBtnFace;
    FontAttributes font;
    bool parentColor = false;
    bool parentFont = false;
    bool oldCreateOrder = false;
    std::string onCreate; // handler name; empty for none
    std::int32_t pixelsPerInch = 96;
    std::int32_t textHeight = 13;
    bool visible = false;
    bool autoScroll = false;
    bool autoSize = false;
    // The three enumerations are held in 8 bits, whatever value they were given.
    std::int8_t axBorderStyle = 0;
    std::int32_t borderWidth = 0;
    bool keyPreview = false;
    std::int8_t printScale = 1;
    bool scaled = true;
    bool dropTarget = false;
    std::string helpFile; // ANSI
    std::int8_t popupMode = 0;
    bool screenSnap = false;
    std::int32_t snapBuffer = 10;
    bool dockSite = false;
    bool doubleBuffered = false;
    bool useDockManager = false;
    bool enabled = true;
    bool alignWithMargins = false;

    bool operator==(const FormProperties&) const = default;
};

// Turns a wide string of the stream into the form's ANSI text; the caller knows the code page.
using AnsiFromWide = std::function<std::string(std::u16string_view)>;

// Sets each property that the record's entries name, in order, matching names without
// regard to case. What another writer of the format may add is passed over: the record's
// class name, entries that name no property of the form, and child records. Text may be
// stored as a wide string. A value of a type its property cannot take stops it with a
// message; `properties` may then hold the entries before the failing one.
std::optional<std::string> ApplyFormProperties(const ComponentRecord& record, FormProperties& properties,
                                               const AnsiFromWide& toAnsi);

// The form's record (class name, form name) with the properties whose values differ
// from `defaults`, and no child records.
ComponentRecord SaveFormProperties(const FormProperties& properties, const FormProperties& defaults);

} // namespace vl
