// Where the page host reads the script of a page's <script src="...">: a file beside the
// page, as a portal serves a script from the page's own site. The page host loads no
// address, and nothing outside the page's folder.
#pragma once

#include <string>
#include <string_view>

namespace vl::pagehost {

struct ScriptSource {
    // The file below the page's folder, its parts joined by "\"; empty when refused.
    std::wstring path;
    // Why the page host does not read it, for a line of its output.
    std::wstring refusal;
};

// `src` as the page writes it. A relative path counts from the page's folder, and so does
// a path from the site's root ("/lib.js"): the page's folder stands for the site. A query
// ("?v=2") or fragment is dropped, "/" and "\" both separate parts. Refused: an address (a
// scheme or "//host"), anything with ":" (a drive, a stream), a path that climbs out of the
// page's folder, and a part that Windows would read as another name or a device (CON, NUL,
// COM1 ...; a trailing dot or blank; characters no file name has).
ScriptSource LocalScriptSource(std::wstring_view src);

} // namespace vl::pagehost
