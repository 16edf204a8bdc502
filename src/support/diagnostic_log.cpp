#include "support/diagnostic_log.h"

#include "support/platform_calls.h"
#include "support/portable/home_folder.h"
#include "support/product_registry.h"
#include "support/widget_log.h"

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

void ApplyStepLogSwitch(const std::wstring& homeFolder)
{
    CVLWidgetLog& writer = DiagnosticWriter();
    const bool on = ReadProductInteger(kStepLogValue) == 1 && !homeFolder.empty() && !Platform().isProcessElevated();
    if (!on) {
        if (g_pWidgetLog != &writer) return;
        g_pWidgetLog = nullptr;
        // Off: the file is let go, and the user may take it away.
        writer.Close();
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
