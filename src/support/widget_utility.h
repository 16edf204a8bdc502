// The control's toolbox: home folder, file versions, version comparison, product registry
// integers, the localized texts and endpoints of the stored region value, the error box,
// the holding of its programs and the kernel message key lookup.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "support/held_program_file.h"
#include "support/portable/version_text.h"
#include "support/widget_security.h"
#include "support/win_handles.h"

namespace vl {

class CVLWidgetUtility : public CVLWidgetSecurity {
public:
    // `name` is the component name in the error box's caption.
    explicit CVLWidgetUtility(std::wstring name);
    CVLWidgetUtility(const CVLWidgetUtility&) = delete;
    CVLWidgetUtility& operator=(const CVLWidgetUtility&) = delete;

    // The documents folder joined with "My Vorlink"; empty when the shell knows no
    // documents folder. The folder itself is not created here.
    const std::wstring& GetHomeFolder() const { return m_szHomeFolder; }
    // The user's documents folder as the shell reported it; empty when it knows none.
    const std::wstring& GetDocumentsFolder() const { return m_szDocFolder; }

    // Version text of VLWidgetKernel.exe in the home folder, empty when there is none.
    std::wstring GetKernelVersion();
    // "%d.%d.%d.%d" of the file's fixed version; empty for a missing file or one
    // without version information. Read once per process for the same file.
    std::wstring GetFileVersion(const std::wstring& path) const;
    // Whether `olderVersion` is lower than `newerVersion`, number by number; a malformed
    // text gives an invalid comparison carrying the conversion message.
    VersionComparison IsOlderVersion(std::wstring_view olderVersion, std::wstring_view newerVersion) const;
    // Whether a directory search for `path` (in the ANSI code page) finds an entry: a
    // folder or a wildcard match counts. A path the code page cannot represent is missing.
    bool IsFileFound(const std::wstring& path) const;
    // A REG_DWORD of the product's key; 0 when missing or of another type.
    int ReadRegInteger(std::wstring_view valueName) const;

    void SetRegionValue(std::wstring value) { m_szRegionVer = std::move(value); }
    const std::wstring& GetRegionValue() const { return m_szRegionVer; }
    std::wstring GetMessageText(int id) const;
    std::wstring GetEndpoint(int role) const;

    // Shown unless error boxes were switched off (a program nobody looks at); then the
    // message goes to the step log.
    void ShowErrorBox(std::wstring_view message, const wchar_t* sourceFile, int line) const;
    void SetErrorBoxesShown(bool shown) { m_bErrorBoxesShown = shown; }
    // Holds a program of the home folder from its checks (CheckProgram) until its start.
    HeldProgramFile HoldProgram(const std::wstring& path) const { return HeldProgramFile(m_szDocFolder, path); }

    // The kernel message field `key` of `text`; one caller at a time.
    std::wstring GetKeyValue(std::wstring_view text, std::wstring_view key);

private:
    void ComputeHomeFolder();
    // The directory entry a search for `path` (in the ANSI code page) finds first.
    static std::optional<WIN32_FIND_DATAA> FindEntry(const std::wstring& path);

    std::wstring m_szName;
    std::wstring m_szDocFolder;
    std::wstring m_szHomeFolder;
    std::wstring m_szRegionVer;
    bool m_bErrorBoxesShown = true;
    CriticalSection m_Lock;
};

} // namespace vl
