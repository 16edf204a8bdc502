#include "support/widget_utility.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <new>

#include "support/ansi_text.h"
#include "support/error_box.h"
#include "support/file_version_cache.h"
#include "support/portable/home_folder.h"
#include "support/portable/key_value.h"
#include "support/product_registry.h"
#include "support/widget_log.h"
#include "tables/portable/endpoint_table.h"
#include "tables/portable/message_table.h"

namespace vl {

CVLWidgetUtility::CVLWidgetUtility(std::wstring name) : m_szName(std::move(name))
{
    ComputeHomeFolder();
}

void CVLWidgetUtility::ComputeHomeFolder()
{
    wchar_t folder[MAX_PATH] = {};
    m_szDocFolder = ::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PERSONAL, TRUE) ? folder : L"";
    m_szHomeFolder = HomeFolderOf(m_szDocFolder);
}

std::wstring CVLWidgetUtility::GetKernelVersion()
{
    if (m_szHomeFolder.empty()) ComputeHomeFolder();
    if (m_szHomeFolder.empty()) return {};
    return GetFileVersion(JoinPath(m_szHomeFolder, kKernelFileName));
}

std::wstring CVLWidgetUtility::GetFileVersion(const std::wstring& path) const
{
    const auto entry = FindEntry(path);
    if (!entry) return {};
    return CachedFileVersion(path, *entry, [&]() -> std::wstring {
        DWORD handle = 0;
        const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
        if (size == 0) return {};
        // Twice the reported size: some versions of the platform write past it.
        const DWORD capacity = size * 2 + 2;
        std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[capacity]());
        if (!block || !::GetFileVersionInfoW(path.c_str(), 0, capacity, block.get())) return {};
        VS_FIXEDFILEINFO* info = nullptr;
        UINT length = 0;
        if (!::VerQueryValueW(block.get(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
            length < sizeof *info)
            return {};
        return FormatVersionText(info->dwFileVersionMS, info->dwFileVersionLS);
    });
}

VersionComparison CVLWidgetUtility::IsOlderVersion(std::wstring_view olderVersion,
                                                   std::wstring_view newerVersion) const
{
    return CompareVersionTexts(olderVersion, newerVersion);
}

bool CVLWidgetUtility::IsFileFound(const std::wstring& path) const
{
    return FindEntry(path).has_value();
}

std::optional<WIN32_FIND_DATAA> CVLWidgetUtility::FindEntry(const std::wstring& path)
{
    // A character without an exact form in the code page would become "?", a wildcard that
    // could find another file.
    const auto ansiPath = ExactAnsi(path);
    if (!ansiPath) return std::nullopt;
    WIN32_FIND_DATAA found;
    const UniqueFindHandle search(::FindFirstFileA(ansiPath->c_str(), &found));
    if (!search.valid()) return std::nullopt;
    return found;
}

int CVLWidgetUtility::ReadRegInteger(std::wstring_view valueName) const
{
    return ReadProductInteger(valueName);
}

std::wstring CVLWidgetUtility::GetMessageText(int id) const
{
    return LookupMessageText(m_szRegionVer, id);
}

std::wstring CVLWidgetUtility::GetEndpoint(int role) const
{
    if (role >= kEndpointRoleCount) return {};
    return LookupEndpoint(m_szRegionVer, role);
}

void CVLWidgetUtility::ShowErrorBox(std::wstring_view message, const wchar_t* sourceFile, int line) const
{
    if (m_bErrorBoxesShown) ShowErrorMessageBox(m_szName, message, sourceFile, line);
    else VL_LOG(L"error (%s, line %d): %s\n", sourceFile, line, std::wstring(message).c_str());
}

std::wstring CVLWidgetUtility::GetKeyValue(std::wstring_view text, std::wstring_view key)
{
    CriticalSectionLock lock(m_Lock);
    return vl::GetKeyValue(text, key);
}

} // namespace vl
