#include "support/ansi_text.h"

#include "support/platform_calls.h"

namespace vl {

namespace {

// Code pages whose conversion takes no flags and reports no default character (UTF-7, the
// ISO-2022 forms, ISCII, Symbol): there the round trip decides.
bool TakesNoConversionFlags(UINT codePage)
{
    return codePage == CP_UTF7 || codePage == CP_SYMBOL || (codePage >= 50220 && codePage <= 50229) ||
           (codePage >= 57002 && codePage <= 57011);
}

// `text` converted with `flags`; nothing when the conversion fails or, with `usedDefault`,
// put a default character in.
std::optional<std::string> Convert(UINT codePage, DWORD flags, std::wstring_view text, BOOL* usedDefault)
{
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, usedDefault);
    if (size <= 0 || (usedDefault && *usedDefault)) return std::nullopt;
    std::string result(static_cast<std::size_t>(size), '\0');
    if (::WideCharToMultiByte(codePage, flags, text.data(), length, result.data(), size, nullptr, nullptr) != size)
        return std::nullopt;
    return result;
}

} // namespace

UINT AnsiCodePage()
{
    return Platform().getACP();
}

std::string WideToAnsi(std::wstring_view text)
{
    if (text.empty()) return {};
    return Convert(AnsiCodePage(), 0, text, nullptr).value_or(std::string());
}

std::optional<std::string> ExactAnsi(std::wstring_view text)
{
    if (text.empty()) return std::string();
    const UINT codePage = AnsiCodePage();
    // UTF-8 carries every character; only half a surrogate pair has no form there, which
    // the flag refuses. It takes neither the best-fit flag nor the default-character report.
    if (codePage == CP_UTF8) return Convert(codePage, WC_ERR_INVALID_CHARS, text, nullptr);
    if (TakesNoConversionFlags(codePage)) {
        auto converted = Convert(codePage, 0, text, nullptr);
        if (converted && AnsiToWide(*converted) != text) return std::nullopt;
        return converted;
    }
    BOOL usedDefault = FALSE;
    return Convert(codePage, WC_NO_BEST_FIT_CHARS, text, &usedDefault);
}

std::wstring AnsiToWide(std::string_view text)
{
    if (text.empty()) return {};
    const UINT codePage = AnsiCodePage();
    const int size = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

} // namespace vl
