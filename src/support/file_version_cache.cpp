#include "support/file_version_cache.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace vl {

namespace {

// Programs of the control's family: the kernel and a few updaters.
constexpr std::size_t kMaxEntries = 16;

struct Entry {
    std::wstring path;
    ULONGLONG size;
    ULONGLONG created;
    ULONGLONG written;
    std::wstring version;
};

ULONGLONG Ticks(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

std::wstring CachedFileVersion(const std::wstring& path, const WIN32_FIND_DATAA& stamp,
                               const std::function<std::wstring()>& read)
{
    // Controls of one process may live on threads of their own.
    static std::mutex mutex;
    static std::deque<Entry> entries;
    const ULONGLONG size = (static_cast<ULONGLONG>(stamp.nFileSizeHigh) << 32) | stamp.nFileSizeLow;
    const ULONGLONG created = Ticks(stamp.ftCreationTime);
    const ULONGLONG written = Ticks(stamp.ftLastWriteTime);
    const auto same = [&](const Entry& entry) {
        return _wcsicmp(entry.path.c_str(), path.c_str()) == 0 && entry.size == size && entry.created == created &&
               entry.written == written;
    };
    {
        const std::lock_guard lock(mutex);
        const auto found = std::find_if(entries.begin(), entries.end(), same);
        if (found != entries.end()) return found->version;
    }
    std::wstring version = read();
    const std::lock_guard lock(mutex);
    if (std::none_of(entries.begin(), entries.end(), same)) {
        if (entries.size() == kMaxEntries) entries.pop_front();
        entries.push_back({path, size, created, written, version});
    }
    return version;
}

} // namespace vl
