// Feeds arbitrary text to the page host's reading of HTML pages: every part it finds must
// lie within the text, and reading must end.
#include "pagehost/portable/html_page.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Two bytes per character, so that any code unit (surrogates, NUL) can occur.
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    const vl::pagehost::HtmlPage page = vl::pagehost::ParseHtmlPage(text);
    for (const vl::pagehost::PagePart& part : page.parts) {
        if (const auto* script = std::get_if<vl::pagehost::ScriptBlock>(&part)) {
            if (script->code.size() > text.size() || script->line == 0) std::abort();
            if (script->event.empty() != script->forId.empty()) std::abort();
        } else {
            const auto& object = std::get<vl::pagehost::ObjectTag>(part);
            if (object.line == 0 || object.fallback.size() > text.size() * 2) std::abort();
            vl::pagehost::ClassIdentifierOf(object.classId);
            vl::pagehost::CodebaseVersionOf(object.codebase);
        }
    }
    return 0;
}
