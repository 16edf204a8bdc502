// Feeds arbitrary text to the page host's reading of HTML pages: every part it finds must
// lie within the text, reading must end, and a script's source is a file below the page's
// folder or refused.
#include "pagehost/portable/html_page.h"
#include "pagehost/portable/script_source.h"

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
            if (script->source) {
                // A file below the page's folder, or a refusal: never both, never neither.
                const vl::pagehost::ScriptSource source = vl::pagehost::LocalScriptSource(*script->source);
                if (source.path.empty() == source.refusal.empty()) std::abort();
                if (source.path.find(L':') != std::wstring::npos || source.path.starts_with(L'\\') ||
                    source.path == L".." || source.path.starts_with(L"..\\") || source.path.find(L"\\..\\") != std::wstring::npos ||
                    source.path.ends_with(L"\\.."))
                    std::abort();
            }
        } else {
            const auto& object = std::get<vl::pagehost::ObjectTag>(part);
            if (object.line == 0 || object.fallback.size() > text.size() * 2) std::abort();
            vl::pagehost::ClassIdentifierOf(object.classId);
            vl::pagehost::CodebaseVersionOf(object.codebase);
        }
    }
    return 0;
}
