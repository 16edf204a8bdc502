// Feeds arbitrary standard-input bytes of the service host through the native-messaging
// framing, the JSON reader and the request checks, and holds every answer to what the
// browser reads: one valid JSON answer per message, within the browser's limit. A message
// that reads as JSON must also come back the same when written and read again.
#include "service_host/portable/json_reader.h"
#include "service_host/portable/json_writer.h"
#include "service_host/portable/native_message_frame.h"
#include "service_host/portable/service_dispatcher.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t answers = 0;
    vl::ServiceDispatcher dispatcher(nullptr, [&answers](const std::string& json) {
        if (json.size() > vl::kMaxMessageToBrowser || !std::holds_alternative<vl::JsonValue>(vl::ReadJson(json)))
            std::abort();
        ++answers;
    }, false);
    vl::NativeMessageReader reader;
    // Two appends exercise messages split across reads.
    const std::size_t half = size / 2;
    reader.Append(reinterpret_cast<const char*>(data), half);
    for (int pass = 0; pass < 2; ++pass) {
        while (auto message = reader.Next()) {
            const std::size_t before = answers;
            dispatcher.Receive(*message);
            if (answers != before + 1) std::abort();
            if (message->oversized) continue;
            const auto read = vl::ReadJson(message->text);
            if (const vl::JsonValue* value = std::get_if<vl::JsonValue>(&read)) {
                const std::string written = vl::WriteJson(*value);
                const auto again = vl::ReadJson(written);
                if (!std::holds_alternative<vl::JsonValue>(again) || vl::WriteJson(std::get<vl::JsonValue>(again)) != written)
                    std::abort();
            }
        }
        reader.Append(reinterpret_cast<const char*>(data) + half, size - half);
    }
    dispatcher.Close();
    return 0;
}
