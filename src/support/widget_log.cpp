#include "support/widget_log.h"

#include <windows.h>

#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstdio>
#include <cwchar>
#include <utility>

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

// Control characters inside the text become "?"; a final line feed ends the record.
void NeutralizeControlCharacters(wchar_t* text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        const bool finalLineFeed = i + 1 == length && text[i] == L'\n';
        if ((text[i] < L' ' || text[i] == 0x7F) && !finalLineFeed) text[i] = L'?';
    }
}

} // namespace

CVLWidgetLog::~CVLWidgetLog()
{
    Close();
}

bool CVLWidgetLog::Open(const std::wstring& fileName, const wchar_t* mode)
{
    CriticalSectionLock lock(m_FileLock);
    Close();
    m_szFileName = fileName;
    m_pStream = ::_wfopen(m_szFileName.c_str(), mode);
    return m_pStream != nullptr;
}

void CVLWidgetLog::Close()
{
    CriticalSectionLock lock(m_FileLock);
    if (m_pStream) std::fclose(m_pStream);
    m_pStream = nullptr;
}

void CVLWidgetLog::SetSizeLimit(long maxBytes, std::wstring rotatedName)
{
    CriticalSectionLock lock(m_FileLock);
    m_maxBytes = maxBytes;
    m_szRotatedName = std::move(rotatedName);
}

void CVLWidgetLog::RotateWhenFull()
{
    if (m_maxBytes <= 0 || std::ftell(m_pStream) < m_maxBytes) return;
    Close();
    // One older file is kept; the next record opens a new one under the same name.
    ::MoveFileExW(m_szFileName.c_str(), m_szRotatedName.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool CVLWidgetLog::EnsureOpen()
{
    if (!m_pStream && !m_szFileName.empty()) Open(m_szFileName, L"a");
    return m_pStream != nullptr;
}

bool CVLWidgetLog::Print(const wchar_t* format, ...)
{
    if (!format) return false;

    SYSTEMTIME now;
    ::GetLocalTime(&now);

    wchar_t text[kTextCapacity];
    va_list args;
    va_start(args, format);
    // The runtime's own formatter: %s of a wide format takes a wide text, as every
    // caller's format expects. A cut text fills the buffer and is left unterminated.
    const int length = ::_vsnwprintf(text, kTextCapacity - 1, format, args);
    va_end(args);
    const std::size_t textLength = length >= 0 ? static_cast<std::size_t>(length) : kTextCapacity - 1;
    text[textLength] = L'\0';
    NeutralizeControlCharacters(text, textLength);

    // In a code page of double-byte characters the text needs up to twice its length.
    char record[kStampCapacity + kTextCapacity * 2];
    const int stamp = std::snprintf(record, kStampCapacity, "[%02u:%02u:%02u.%03u]: ", now.wHour, now.wMinute,
                                    now.wSecond, now.wMilliseconds);
    const std::size_t size = AppendNarrow(text, record, static_cast<std::size_t>(stamp), sizeof record);

    CriticalSectionLock lock(m_FileLock);
    if (!EnsureOpen()) return false;
    // One write holds the stream's lock for the whole record.
    const bool written = std::fwrite(record, 1, size, m_pStream) == size;
    const bool flushed = std::fflush(m_pStream) == 0;
    RotateWhenFull();
    return flushed && written;
}

} // namespace vl
