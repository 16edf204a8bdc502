#include "support/diagnostic_log.h"

#include <windows.h>

#include "support/portable/home_folder.h"
#include "support/product_registry.h"
#include "support/widget_log.h"
#include "support/win_handles.h"

namespace vl {

namespace {

// One writer per process, shared by its controls; never destroyed, so that a record being
// written on another thread while the switch goes off still finds it.
CVLWidgetLog& DiagnosticWriter()
{
    static CVLWidgetLog* writer = new CVLWidgetLog;
    return *writer;
}

} // namespace

bool IsProcessElevated()
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

void ApplyStepLogSwitch(const std::wstring& homeFolder)
{
    CVLWidgetLog& writer = DiagnosticWriter();
    const bool on = ReadProductInteger(kStepLogValue) == 1 && !homeFolder.empty() && !IsProcessElevated();
    if (!on) {
        if (g_pWidgetLog == &writer) g_pWidgetLog = nullptr;
        return;
    }
    if (g_pWidgetLog) return; // ours already, or a writer of someone else's
    const std::wstring folder = JoinPath(homeFolder, kLogFolderName);
    writer.SetSizeLimit(kStepLogMaxBytes, JoinPath(folder, kStepLogRotatedName));
    // A file that cannot be opened now is tried again at each record.
    writer.Open(JoinPath(folder, kStepLogFileName), L"a");
    g_pWidgetLog = &writer;
}

} // namespace vl
