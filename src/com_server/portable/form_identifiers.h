// The identifiers that component streams use for colours and character sets, and their
// numeric values. Colours use the OLE_COLOR encoding: 0x00BBGGRR for a plain colour,
// 0x80000000 plus the index for a system colour.
#pragma once

#include <cstdint>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace vl {

inline constexpr std::int32_t kSystemColorFlag = static_cast<std::int32_t>(0x80000000u);
inline constexpr std::int32_t clBtnFace = kSystemColorFlag | 15;
inline constexpr std::int32_t clWindowText = kSystemColorFlag | 8;

inline constexpr std::uint8_t kDefaultCharset = 1;

// Names of enumeration values and set elements, in the order of their values (bits).
inline constexpr std::string_view kAxBorderStyleNames[] = {"afbNone", "afbSingle", "afbSunken", "afbRaised"};
inline constexpr std::string_view kPrintScaleNames[] = {"poNone", "poProportional", "poPrintToFit"};
inline constexpr std::string_view kPopupModeNames[] = {"pmNone", "pmAuto", "pmExplicit"};
inline constexpr std::string_view kFontStyleNames[] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};

// Identifiers and property names of component streams are compared without regard to
// case (ASCII letters only), as the stream readers of this format always did.
bool SameIdentifier(std::string_view a, std::string_view b);

// The position of `identifier` in `names`, compared without regard to case.
std::optional<std::size_t> IndexOfIdentifier(std::span<const std::string_view> names, std::string_view identifier);

std::optional<std::int32_t> ColorFromIdentifier(std::string_view identifier);
// The identifier of a colour that has one ("clBtnFace"); other colours are written as numbers.
std::optional<std::string_view> ColorIdentifier(std::int32_t color);

std::optional<std::uint8_t> CharsetFromIdentifier(std::string_view identifier);
std::optional<std::string_view> CharsetIdentifier(std::uint8_t charset);

} // namespace vl
