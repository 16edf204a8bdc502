// pagehost.exe run as a separate program on a page of the test's own.
#pragma once

#include <windows.h>

#include <string>

#include "temp_folder.h"

namespace vl::test {

struct PageRun {
    std::string output; // standard output and standard error, line feeds only
    DWORD exitCode = STILL_ACTIVE;
};

// A page that portal rules accept, as the page host's address.
inline constexpr wchar_t kPortalPageUrl[] = L"http://tw.vorlink.com/page.html";

std::wstring Quoted(const std::wstring& text);
// The page host's command line with `arguments`.
std::wstring PageCommandLine(const std::wstring& arguments);
// pagehost.exe run to its end with `arguments` (bounded by a minute).
PageRun RunPageHost(const std::wstring& arguments);

// A page in a file of its own (".js" or ".html"), and the arguments that run it.
class PageFile {
public:
    PageFile(const std::string& text, const wchar_t* extension);
    std::wstring Arguments(const std::wstring& options, const std::wstring& url = kPortalPageUrl) const;

private:
    TempFolder m_folder;
    std::wstring m_path;
};

// Runs `text` as a page of the kind `extension` names, with `options`.
PageRun RunPage(const std::string& text, const std::wstring& options, const wchar_t* extension = L".js");

} // namespace vl::test
