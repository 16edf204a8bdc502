#include "service_host/standard_output_writer.h"

#include <optional>

#include "service_host/portable/native_message_frame.h"

namespace vl {

bool StandardOutputWriter::Write(const std::string& json)
{
    const std::lock_guard<std::mutex> hold(m_lock);
    const std::optional<std::string> framed = FrameNativeMessage(json);
    if (m_broken || !framed) return false;
    const char* next = framed->data();
    std::size_t left = framed->size();
    while (left > 0) {
        DWORD written = 0;
        if (!::WriteFile(m_output, next, static_cast<DWORD>(left), &written, nullptr) || written == 0) {
            m_broken = true;
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

} // namespace vl
