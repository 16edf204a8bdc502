// Character classes of ASCII alone, for narrow and wide text: the texts checked with them
// (web addresses, versions, identifiers, numbers) allow no other letters or digits.
#pragma once

namespace vl {

template <typename Char>
constexpr bool IsAsciiDigit(Char c)
{
    return c >= '0' && c <= '9';
}

template <typename Char>
constexpr bool IsAsciiLetter(Char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

template <typename Char>
constexpr Char AsciiLower(Char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c;
}

} // namespace vl
