// The step log: time-stamped records appended to a text file, written only while a writer
// is installed in g_pWidgetLog.
#pragma once

#include <cstdio>
#include <string>

#include "support/win_handles.h"

namespace vl {

class CVLWidgetLog {
public:
    // Longest formatted caller's text, terminator included; longer texts are cut.
    static constexpr std::size_t kTextCapacity = 8192;

    CVLWidgetLog() = default;
    ~CVLWidgetLog();
    CVLWidgetLog(const CVLWidgetLog&) = delete;
    CVLWidgetLog& operator=(const CVLWidgetLog&) = delete;

    // Closes the open file, keeps `fileName` for later reopening and opens it with the
    // stream mode `mode` ("a", "w", ...). True when the file is open.
    bool Open(const std::wstring& fileName, const wchar_t* mode);
    // The file name stays, so the next Print reopens the file for appending.
    void Close();

    // Writes "[hh:mm:ss.mmm]: " and the text formatted from `format` as the platform's
    // wide printf does (%s takes a wide text), and flushes. An unopened file is opened
    // for appending first; when that fails nothing is written. True when written.
    bool Print(const wchar_t* format, ...);

private:
    bool EnsureOpen();

    std::FILE* m_pStream = nullptr;
    std::wstring m_szFileName;
    // Only the lazy open is guarded: two first records from two threads open the file once.
    CriticalSection m_OpenLock;
};

// The installed writer, or none; its owner must keep it alive while it is installed.
extern CVLWidgetLog* g_pWidgetLog;

} // namespace vl

// The log statement: the writer is looked up at each statement and, when none is
// installed, the arguments are not even evaluated.
#define VL_LOG(...)                                                                                          \
    do {                                                                                                     \
        if (::vl::CVLWidgetLog* vlLogWriter = ::vl::g_pWidgetLog) vlLogWriter->Print(__VA_ARGS__);          \
    } while (false)
