// An HTML page as the page host reads it: the parts of a control page in document order,
// the <object> elements and the <script> blocks, and the names of whatever else it
// skips. This is not an HTML parser for pages at large: only what a control page uses.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vl::pagehost {

struct ObjectParam {
    std::wstring name;
    std::wstring value;
};

// <object id="..." classid="clsid:..." codebase="...#version=..." width=".." height="..">
//   <param name="..." value="..."> fallback content </object>
struct ObjectTag {
    std::wstring id;
    std::wstring classId;  // the classid attribute as written
    std::wstring codebase;
    std::wstring width;
    std::wstring height;
    std::vector<ObjectParam> params;
    std::wstring fallback; // the text of the fallback content, blanks collapsed
    std::size_t line = 0;  // of the tag, from 1
};

enum class ScriptLanguage { JScript, VBScript };

// <script [language|type] [for="id" event="Name(parameters)"] [src="file"]> code </script>
struct ScriptBlock {
    ScriptLanguage language = ScriptLanguage::JScript;
    std::wstring forId;           // with `event`: the handler of that object's event
    std::wstring event;           // the event's name
    std::wstring eventParameters; // the names inside the parentheses, as written
    std::wstring code;            // empty with `source`: a browser runs the file's instead
    std::optional<std::wstring> source; // the src attribute, as written (references decoded)
    std::size_t line = 0;         // of the code's first line, from 1 (with `source`: of the tag)
};

using PagePart = std::variant<ObjectTag, ScriptBlock>;

struct HtmlPage {
    std::vector<PagePart> parts;
    // What was skipped, each name once in the order met: "<h1>", "<style>", "text".
    std::vector<std::wstring> skipped;
};

HtmlPage ParseHtmlPage(std::wstring_view text);

// What a reader sees of a piece of HTML: its text, tags left out, character references
// decoded, blanks collapsed ("a <b>bold</b> &amp; more<br>" is "a bold & more").
std::wstring TextOfHtml(std::wstring_view html);

// The class identifier of a classid attribute "clsid:XXXXXXXX-XXXX-..." in braces, as
// CLSIDFromString reads it; empty for anything else.
std::wstring ClassIdentifierOf(std::wstring_view classIdAttribute);

// The version after "#version=" in a codebase, as written; empty without one.
std::wstring CodebaseVersionOf(std::wstring_view codebase);

} // namespace vl::pagehost
