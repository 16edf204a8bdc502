#include "support/widget_log.h"

#include <windows.h>

#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstdio>
#include <cwchar>

namespace vl {

CVLWidgetLog* g_pWidgetLog = nullptr;

namespace {

// "[hh:mm:ss.mmm]: " and its terminator.
constexpr std::size_t kStampCapacity = 17;

// The runtime's narrow form of `text` in its current locale; a character the locale
// cannot represent becomes "?" instead of ending the record.
std::size_t AppendNarrow(const wchar_t* text, char* out, std::size_t size, std::size_t capacity)
{
    char bytes[MB_LEN_MAX];
    for (; *text; ++text) {
        int count = std::wctomb(bytes, *text);
        if (count < 0) {
            bytes[0] = '?';
            count = 1;
        }
        if (size + static_cast<std::size_t>(count) > capacity) break;
        for (int i = 0; i < count; ++i) out[size++] = bytes[i];
    }
    return size;
}

} // namespace

CVLWidgetLog::~CVLWidgetLog()
{
    Close();
}

bool CVLWidgetLog::Open(const std::wstring& fileName, const wchar_t* mode)
{
    Close();
    m_szFileName = fileName;
    m_pStream = ::_wfopen(m_szFileName.c_str(), mode);
    return m_pStream != nullptr;
}

void CVLWidgetLog::Close()
{
    if (m_pStream) std::fclose(m_pStream);
    m_pStream = nullptr;
}

bool CVLWidgetLog::EnsureOpen()
{
    CriticalSectionLock lock(m_OpenLock);
    if (!m_pStream && !m_szFileName.empty()) Open(m_szFileName, L"a");
    return m_pStream != nullptr;
}

bool CVLWidgetLog::Print(const wchar_t* format, ...)
{
    if (!format || !EnsureOpen()) return false;

    SYSTEMTIME now;
    ::GetLocalTime(&now);

    wchar_t text[kTextCapacity];
    va_list args;
    va_start(args, format);
    // The runtime's own formatter: %s of a wide format takes a wide text, as every
    // caller's format expects. A cut text fills the buffer and is left unterminated.
    const int length = ::_vsnwprintf(text, kTextCapacity - 1, format, args);
    va_end(args);
    text[length >= 0 ? length : kTextCapacity - 1] = L'\0';

    // In a code page of double-byte characters the text needs up to twice its length.
    char record[kStampCapacity + kTextCapacity * 2];
    const int stamp = std::snprintf(record, kStampCapacity, "[%02u:%02u:%02u.%03u]: ", now.wHour, now.wMinute,
                                    now.wSecond, now.wMilliseconds);
    const std::size_t size = AppendNarrow(text, record, static_cast<std::size_t>(stamp), sizeof record);
    // One write holds the stream's lock for the whole record.
    const bool written = std::fwrite(record, 1, size, m_pStream) == size;
    return std::fflush(m_pStream) == 0 && written;
}

} // namespace vl
