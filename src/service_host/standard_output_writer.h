// Writes the host's messages to standard output, each with the browser's length framing,
// whole under one lock (a short write is continued), so that an event and an answer never
// interleave.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

namespace vl {

class StandardOutputWriter {
public:
    explicit StandardOutputWriter(HANDLE output) : m_output(output) {}

    // False once a write has failed: the browser has gone.
    bool Write(const std::string& json);
    bool Broken() const { return m_broken; }

private:
    HANDLE m_output;
    std::mutex m_lock;
    std::atomic<bool> m_broken = false;
};

} // namespace vl
