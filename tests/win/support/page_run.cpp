#include "page_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "com_module.h"
#include "test_paths.h"

namespace vl::test {

namespace {

constexpr DWORD kRunLimitMs = 60000;

} // namespace

std::wstring Quoted(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

std::wstring PageCommandLine(const std::wstring& arguments)
{
    return Quoted(BuildFile(L"pagehost.exe")) + L" " + arguments;
}

PageRun RunPageHost(const std::wstring& arguments)
{
    PageRun run;
    const std::optional<DWORD> exitCode = RunProgram(PageCommandLine(arguments), &run.output, kRunLimitMs);
    EXPECT_TRUE(exitCode.has_value()) << "pagehost.exe did not start or did not end";
    run.exitCode = exitCode.value_or(STILL_ACTIVE);
    return run;
}

PageFile::PageFile(const std::string& text, const wchar_t* extension)
    : m_path(m_folder.File(std::wstring(L"page") + extension))
{
    std::ofstream(m_path.c_str(), std::ios::binary) << text;
}

std::wstring PageFile::Arguments(const std::wstring& options, const std::wstring& url) const
{
    return L"--url " + url + L" --script " + Quoted(m_path) + L" " + options;
}

PageRun RunPage(const std::string& text, const std::wstring& options, const wchar_t* extension)
{
    return RunPageHost(PageFile(text, extension).Arguments(options));
}

} // namespace vl::test
