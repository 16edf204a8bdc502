#include "pagehost/portable/script_source.h"

#include <algorithm>
#include <vector>

#include "support/portable/ascii.h"

namespace vl::pagehost {

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'/' || c == L'\\';
}

// Blanks that browsers strip from both ends of an address.
bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f';
}

// Windows reads the name before the first dot, blanks at its end dropped, as a device of
// these names (COM and LPT with a digit, also a superscript one), whatever follows.
bool IsDeviceName(std::wstring_view part)
{
    std::wstring_view base = part.substr(0, part.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
    std::wstring name;
    for (const wchar_t c : base) name += AsciiLower(c);
    constexpr std::wstring_view kDevices[] = {L"con", L"prn", L"aux", L"nul", L"conin$", L"conout$"};
    if (std::find(std::begin(kDevices), std::end(kDevices), name) != std::end(kDevices)) return true;
    const bool numbered = name.size() == 4 && (name.starts_with(L"com") || name.starts_with(L"lpt"));
    return numbered && (IsAsciiDigit(name[3]) || name[3] == L'\u00B9' || name[3] == L'\u00B2' || name[3] == L'\u00B3');
}

bool HasForbiddenCharacter(std::wstring_view part)
{
    return std::any_of(part.begin(), part.end(), [](wchar_t c) {
        return c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'*';
    });
}

ScriptSource Refused(std::wstring reason)
{
    return {{}, std::move(reason)};
}

} // namespace

ScriptSource LocalScriptSource(std::wstring_view src)
{
    while (!src.empty() && IsBlank(src.front())) src.remove_prefix(1);
    while (!src.empty() && IsBlank(src.back())) src.remove_suffix(1);
    src = src.substr(0, src.find_first_of(L"?#"));
    if (src.empty()) return Refused(L"it names no file");
    if (src.find(L':') != std::wstring_view::npos)
        return Refused(L"it names an address, a drive or a stream, not a file beside the page");
    if (src.size() >= 2 && IsSeparator(src[0]) && IsSeparator(src[1])) return Refused(L"it names another host");
    if (IsSeparator(src.back())) return Refused(L"it names a folder");

    std::vector<std::wstring_view> parts;
    while (!src.empty()) {
        const auto end = std::find_if(src.begin(), src.end(), IsSeparator);
        const std::wstring_view part = src.substr(0, static_cast<std::size_t>(end - src.begin()));
        src.remove_prefix(std::min(src.size(), part.size() + 1));
        if (part.empty() || part == L".") continue;
        if (part == L"..") {
            if (parts.empty()) return Refused(L"it climbs out of the page's folder");
            parts.pop_back();
            continue;
        }
        if (HasForbiddenCharacter(part)) return Refused(L"it holds a character that no file name has");
        if (part.back() == L'.' || part.back() == L' ')
            return Refused(L"a part of it ends in a dot or a blank, which Windows drops");
        if (IsDeviceName(part)) return Refused(L"it names a device");
        parts.push_back(part);
    }
    if (parts.empty()) return Refused(L"it names no file");
    std::wstring path;
    for (const std::wstring_view part : parts) path += (path.empty() ? L"" : L"\\") + std::wstring(part);
    return {path, {}};
}

} // namespace vl::pagehost
