#include "pagehost/portable/html_page.h"

#include <algorithm>
#include <utility>

#include "support/portable/ascii.h"

namespace vl::pagehost {

namespace {

constexpr auto npos = std::wstring_view::npos;

// Elements of a page's frame that need no warning: their content is the page's.
constexpr std::wstring_view kFrameElements[] = {L"html", L"head", L"body", L"meta"};
// Elements inside a line of text.
constexpr std::wstring_view kInlineElements[] = {L"a", L"b", L"i", L"u", L"em", L"strong", L"span", L"font",
                                                 L"code", L"small", L"big", L"abbr"};

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f';
}

bool IsAllBlank(std::wstring_view text)
{
    return std::all_of(text.begin(), text.end(), IsBlank);
}

bool IsNameCharacter(wchar_t c)
{
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == L'-' || c == L':' || c == L'_' || c == L'.';
}

std::wstring Lower(std::wstring_view text)
{
    std::wstring lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return AsciiLower(c); });
    return lower;
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && Lower(a) == Lower(b);
}

// The first `pattern` (ASCII, lower case) at or after `from`, in any letter case.
std::size_t FindIgnoringCase(std::wstring_view text, std::wstring_view pattern, std::size_t from)
{
    if (pattern.size() > text.size()) return npos;
    for (std::size_t at = from; at + pattern.size() <= text.size(); ++at) {
        std::size_t i = 0;
        while (i < pattern.size() && AsciiLower(text[at + i]) == pattern[i]) ++i;
        if (i == pattern.size()) return at;
    }
    return npos;
}

std::wstring_view Trim(std::wstring_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

void AppendCodePoint(std::wstring& out, unsigned long codePoint)
{
    if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) codePoint = 0xFFFD;
    if constexpr (sizeof(wchar_t) == 2) {
        if (codePoint > 0xFFFF) {
            codePoint -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
            out += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(codePoint);
}

// A character reference at the start of `text` ("&amp;", "&#65;", "&#x41;"): appended to
// `out`, and its length; 0 when there is none.
std::size_t DecodeReference(std::wstring_view text, std::wstring& out)
{
    static constexpr std::pair<std::wstring_view, wchar_t> kNamed[] = {
        {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&apos;", L'\''}, {L"&nbsp;", L' '}};
    for (const auto& [name, character] : kNamed)
        if (text.substr(0, name.size()) == name) {
            out += character;
            return name.size();
        }
    if (!text.starts_with(L"&#")) return 0;
    std::size_t i = 2;
    const bool hex = i < text.size() && (text[i] == L'x' || text[i] == L'X');
    if (hex) ++i;
    unsigned long value = 0;
    const std::size_t first = i;
    for (; i < text.size() && i - first < 8; ++i) {
        const wchar_t c = text[i];
        int digit = -1;
        if (IsAsciiDigit(c)) digit = c - L'0';
        else if (hex && AsciiLower(c) >= L'a' && AsciiLower(c) <= L'f') digit = AsciiLower(c) - L'a' + 10;
        if (digit < 0) break;
        value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
    }
    if (i == first || i >= text.size() || text[i] != L';') return 0;
    AppendCodePoint(out, value);
    return i + 1;
}

std::wstring DecodeText(std::wstring_view text)
{
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t used = text[i] == L'&' ? DecodeReference(text.substr(i), out) : 0;
        if (used > 0) {
            i += used;
        } else {
            out += text[i];
            ++i;
        }
    }
    return out;
}

// Blanks run together into one, none at either end.
std::wstring CollapseBlanks(std::wstring_view text)
{
    std::wstring out;
    bool blank = false;
    for (const wchar_t c : text) {
        if (IsBlank(c)) {
            blank = !out.empty();
            continue;
        }
        if (blank) out += L' ';
        blank = false;
        out += c;
    }
    return out;
}

struct Tag {
    std::wstring name; // lower case
    bool closing = false;
    bool selfClosing = false;
    std::vector<std::pair<std::wstring, std::wstring>> attributes; // names in lower case

    std::wstring Attribute(std::wstring_view attributeName) const
    {
        for (const auto& [name, value] : attributes)
            if (name == attributeName) return value;
        return {};
    }
    bool Has(std::wstring_view attributeName) const
    {
        return std::any_of(attributes.begin(), attributes.end(), [&](const auto& a) { return a.first == attributeName; });
    }
};

class PageReader {
public:
    explicit PageReader(std::wstring_view text) : m_text(text) {}

    HtmlPage Read()
    {
        while (m_pos < m_text.size()) {
            const std::size_t lt = m_text.find(L'<', m_pos);
            if (!IsAllBlank(m_text.substr(m_pos, lt == npos ? npos : lt - m_pos))) Skip(L"text");
            if (lt == npos) break;
            m_pos = lt;
            Tag tag;
            if (SkipMarkup()) continue;
            const std::size_t tagStart = m_pos;
            if (!ReadTag(tag)) {
                Skip(L"text");
                continue;
            }
            if (tag.closing) continue;
            if (tag.name == L"script") {
                ReadScript(tag);
            } else if (tag.name == L"object") {
                ReadObject(tag, LineAt(tagStart));
            } else if (tag.name == L"title") {
                RawContent(tag);
            } else if (std::find(std::begin(kFrameElements), std::end(kFrameElements), tag.name) ==
                       std::end(kFrameElements)) {
                Skip(L"<" + tag.name + L">");
                if (tag.name == L"style" || tag.name == L"textarea") RawContent(tag);
            }
        }
        return std::move(m_page);
    }

private:
    void Skip(std::wstring what)
    {
        if (std::find(m_page.skipped.begin(), m_page.skipped.end(), what) == m_page.skipped.end())
            m_page.skipped.push_back(std::move(what));
    }

    // The line of `offset`, from 1; offsets are asked for in increasing order.
    std::size_t LineAt(std::size_t offset)
    {
        for (; m_lineOffset < offset && m_lineOffset < m_text.size(); ++m_lineOffset)
            if (m_text[m_lineOffset] == L'\n') ++m_line;
        return m_line;
    }

    // A comment, a declaration ("<!DOCTYPE html>") or a processing instruction at m_pos:
    // passed over. False when there is none.
    bool SkipMarkup()
    {
        const std::wstring_view rest = m_text.substr(m_pos);
        if (rest.starts_with(L"<!--")) {
            const std::size_t end = m_text.find(L"-->", m_pos + 4);
            m_pos = end == npos ? m_text.size() : end + 3;
            return true;
        }
        if (rest.starts_with(L"<!") || rest.starts_with(L"<?")) {
            const std::size_t end = m_text.find(L'>', m_pos);
            m_pos = end == npos ? m_text.size() : end + 1;
            return true;
        }
        return false;
    }

    // The tag at m_pos ("<" first); false, with m_pos past the "<", when none starts
    // there (the "<" is text). A tag that the text ends inside ends with the text.
    bool ReadTag(Tag& tag)
    {
        std::size_t i = m_pos + 1;
        tag.closing = i < m_text.size() && m_text[i] == L'/';
        if (tag.closing) ++i;
        if (i >= m_text.size() || !IsAsciiLetter(m_text[i])) {
            ++m_pos;
            return false;
        }
        const std::size_t nameStart = i;
        while (i < m_text.size() && IsNameCharacter(m_text[i])) ++i;
        tag.name = Lower(m_text.substr(nameStart, i - nameStart));
        for (;;) {
            while (i < m_text.size() && (IsBlank(m_text[i]) || m_text[i] == L'/')) {
                tag.selfClosing = m_text[i] == L'/';
                ++i;
            }
            if (i >= m_text.size()) break;
            if (m_text[i] == L'>') {
                ++i;
                break;
            }
            tag.selfClosing = false;
            const std::size_t attributeStart = i;
            while (i < m_text.size() && !IsBlank(m_text[i]) && m_text[i] != L'=' && m_text[i] != L'>' &&
                   m_text[i] != L'/')
                ++i;
            std::wstring name = Lower(m_text.substr(attributeStart, i - attributeStart));
            if (name.empty()) {
                ++i; // a stray "=": passed over
                continue;
            }
            std::size_t j = i;
            while (j < m_text.size() && IsBlank(m_text[j])) ++j;
            std::wstring value;
            if (j < m_text.size() && m_text[j] == L'=') {
                ++j;
                while (j < m_text.size() && IsBlank(m_text[j])) ++j;
                std::size_t valueStart = j;
                if (j < m_text.size() && (m_text[j] == L'"' || m_text[j] == L'\'')) {
                    const std::size_t close = m_text.find(m_text[j], j + 1);
                    valueStart = j + 1;
                    j = close == npos ? m_text.size() : close;
                    value = DecodeText(m_text.substr(valueStart, j - valueStart));
                    if (j < m_text.size()) ++j;
                } else {
                    while (j < m_text.size() && !IsBlank(m_text[j]) && m_text[j] != L'>') ++j;
                    value = DecodeText(m_text.substr(valueStart, j - valueStart));
                }
                i = j;
            }
            tag.attributes.emplace_back(std::move(name), std::move(value));
        }
        m_pos = i;
        return true;
    }

    // The text up to the end tag of `tag` (any letter case); m_pos goes past the end tag.
    std::wstring_view RawContent(const Tag& tag)
    {
        if (tag.selfClosing) return {};
        const std::size_t start = m_pos;
        const std::size_t end = FindIgnoringCase(m_text, L"</" + tag.name, start);
        if (end == npos) {
            m_pos = m_text.size();
            return m_text.substr(start);
        }
        const std::size_t close = m_text.find(L'>', end);
        m_pos = close == npos ? m_text.size() : close + 1;
        return m_text.substr(start, end - start);
    }

    void ReadScript(const Tag& tag)
    {
        const std::size_t codeStart = m_pos;
        const std::wstring_view code = RawContent(tag);
        ScriptBlock block;
        if (!LanguageOf(tag, block.language)) {
            Skip(L"<script> of another language");
            return;
        }
        // With a source a browser runs the file and passes over what the element holds.
        if (tag.Has(L"src")) block.source = std::wstring(Trim(tag.Attribute(L"src")));
        else block.code = code;
        block.line = LineAt(codeStart);
        const std::wstring event(Trim(tag.Attribute(L"event")));
        block.forId = Trim(tag.Attribute(L"for"));
        if (!block.forId.empty() && !event.empty()) {
            const std::size_t open = event.find(L'(');
            block.event = Trim(std::wstring_view(event).substr(0, open));
            if (open != npos) {
                const std::size_t close = event.rfind(L')');
                block.eventParameters =
                    Trim(std::wstring_view(event).substr(open + 1, close == npos || close < open ? npos : close - open - 1));
            }
        }
        // A handler needs both: without either the block is a plain script.
        if (block.event.empty() || block.forId.empty()) {
            block.forId.clear();
            block.event.clear();
            block.eventParameters.clear();
        }
        m_page.parts.emplace_back(std::move(block));
    }

    static bool LanguageOf(const Tag& tag, ScriptLanguage& language)
    {
        static constexpr std::pair<std::wstring_view, ScriptLanguage> kLanguages[] = {
            {L"javascript", ScriptLanguage::JScript},      {L"jscript", ScriptLanguage::JScript},
            {L"ecmascript", ScriptLanguage::JScript},      {L"text/javascript", ScriptLanguage::JScript},
            {L"text/jscript", ScriptLanguage::JScript},    {L"text/ecmascript", ScriptLanguage::JScript},
            {L"application/javascript", ScriptLanguage::JScript}, {L"vbscript", ScriptLanguage::VBScript},
            {L"vbs", ScriptLanguage::VBScript},            {L"text/vbscript", ScriptLanguage::VBScript},
        };
        std::wstring name = Lower(Trim(tag.Attribute(L"type")));
        if (name.empty()) {
            name = Lower(Trim(tag.Attribute(L"language")));
            // Old pages name a version: "JavaScript1.2".
            if (name.starts_with(L"javascript")) name = L"javascript";
        }
        if (name.empty()) {
            language = ScriptLanguage::JScript;
            return true;
        }
        for (const auto& [known, knownLanguage] : kLanguages)
            if (name == known) {
                language = knownLanguage;
                return true;
            }
        return false;
    }

    void ReadObject(const Tag& tag, std::size_t line)
    {
        ObjectTag object;
        object.line = line;
        object.id = Trim(tag.Attribute(L"id"));
        if (object.id.empty()) object.id = Trim(tag.Attribute(L"name"));
        object.classId = Trim(tag.Attribute(L"classid"));
        object.codebase = Trim(tag.Attribute(L"codebase"));
        object.width = Trim(tag.Attribute(L"width"));
        object.height = Trim(tag.Attribute(L"height"));
        if (!tag.selfClosing) object.fallback = ReadText(&object.params);
        m_page.parts.emplace_back(std::move(object));
    }

public:
    // The text that the markup from m_pos shows, tags left out and blanks collapsed, up to
    // the end of the <object> it stands in when `params` is given (nested objects are
    // fallback content too; the object's own <param>s go to `params`), else to the end.
    std::wstring ReadText(std::vector<ObjectParam>* params)
    {
        std::wstring text;
        for (int depth = 0; m_pos < m_text.size();) {
            const std::size_t lt = m_text.find(L'<', m_pos);
            text += DecodeText(m_text.substr(m_pos, lt == npos ? npos : lt - m_pos));
            if (lt == npos) {
                m_pos = m_text.size();
                break;
            }
            m_pos = lt;
            Tag inner;
            if (SkipMarkup()) continue;
            if (!ReadTag(inner)) {
                text += L'<';
                continue;
            }
            // Text runs on through the tags inside a line; any other tag breaks it.
            if (std::find(std::begin(kInlineElements), std::end(kInlineElements), inner.name) ==
                std::end(kInlineElements))
                text += L' ';
            if (params && inner.name == L"object" && inner.closing && depth-- == 0) break;
            if (inner.name == L"object" && !inner.closing && !inner.selfClosing) ++depth;
            if (params && inner.name == L"param" && !inner.closing && depth == 0)
                params->push_back({inner.Attribute(L"name"), inner.Attribute(L"value")});
            if (!inner.closing && (inner.name == L"script" || inner.name == L"style")) RawContent(inner);
        }
        return CollapseBlanks(text);
    }

private:
    const std::wstring_view m_text;
    std::size_t m_pos = 0;
    std::size_t m_line = 1;
    std::size_t m_lineOffset = 0;
    HtmlPage m_page;
};

bool IsHexDigit(wchar_t c)
{
    return IsAsciiDigit(c) || (AsciiLower(c) >= L'a' && AsciiLower(c) <= L'f');
}

} // namespace

HtmlPage ParseHtmlPage(std::wstring_view text)
{
    return PageReader(text).Read();
}

std::wstring TextOfHtml(std::wstring_view html)
{
    return PageReader(html).ReadText(nullptr);
}

std::wstring ClassIdentifierOf(std::wstring_view classIdAttribute)
{
    constexpr std::wstring_view kScheme = L"clsid:";
    std::wstring_view text = Trim(classIdAttribute);
    if (!EqualsIgnoringCase(text.substr(0, kScheme.size()), kScheme)) return {};
    text.remove_prefix(kScheme.size());
    // 8-4-4-4-12 hexadecimal digits.
    constexpr std::size_t kHyphens[] = {8, 13, 18, 23};
    if (text.size() != 36) return {};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool hyphen = std::find(std::begin(kHyphens), std::end(kHyphens), i) != std::end(kHyphens);
        if (hyphen ? text[i] != L'-' : !IsHexDigit(text[i])) return {};
    }
    return L"{" + std::wstring(text) + L"}";
}

std::wstring CodebaseVersionOf(std::wstring_view codebase)
{
    constexpr std::wstring_view kMarker = L"#version=";
    const std::size_t at = FindIgnoringCase(codebase, kMarker, 0);
    return at == npos ? std::wstring() : std::wstring(codebase.substr(at + kMarker.size()));
}

} // namespace vl::pagehost
