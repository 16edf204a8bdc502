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

    // Bounds the file: once a record takes it to `maxBytes` or beyond, the file is renamed
    // to `rotatedName` (replacing an older one) and the next record starts a new file.
    void SetSizeLimit(long maxBytes, std::wstring rotatedName);

    // Writes "[hh:mm:ss.mmm]: " and the text formatted from `format` as the platform's
    // wide printf does (%s takes a wide text), and flushes. An unopened file is opened
    // for appending first; when that fails nothing is written. True when written.
    // Control characters that a value brings along (a line feed inside a page's address)
    // are written as "?", so that no value can forge a record; the text's own final line
    // feed stays.
    bool Print(const wchar_t* format, ...);

private:
    bool EnsureOpen();
    void RotateWhenFull();

    std::FILE* m_pStream = nullptr;
    std::wstring m_szFileName;
    long m_maxBytes = 0; // 0: unbounded
    std::wstring m_szRotatedName;
    // Held while a record opens, writes and rotates the file: two first records from two
    // threads open it once, and no record meets a file that another one is rotating.
    CriticalSection m_FileLock;
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
