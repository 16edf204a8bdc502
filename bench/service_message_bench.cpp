// The service host's reading of one browser message (ReadJson + ParseServiceRequest), in
// CPU time per message: a usual call, a call of the same size as the hostile message (a
// long value), and the hostile message itself, an object of 95,000 members below the
// 1 MiB bound, which a page can send again and again.
#include <string>

#include "bench_report.h"
#include "service_host/portable/native_message_frame.h"
#include "service_host/portable/service_message.h"

namespace {

// {"id":1,"a0":0,"a1":0,...}: member names in base 36 keep it below the bound.
std::string ManyMembers(int count)
{
    std::string json = "{\"id\":1";
    for (int i = 0; i < count; ++i) {
        std::string name;
        for (int n = i; name.empty() || n > 0; n /= 36) name.insert(name.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[n % 36]);
        json += ",\"a" + name + "\":0";
    }
    return json + "}";
}

void Measure(const std::string& key, const std::string& json)
{
    if (json.size() > vl::kMaxMessageFromBrowser) {
        vl::bench::PrintMissing("service." + key + "_us", "the message is above the bound");
        return;
    }
    std::size_t checksum = 0;
    const double perSecond = vl::bench::ItemsPerCpuSecond(
        [&] { checksum += vl::ParseServiceRequest(json).index(); }, 1, 0.5, 3.0);
    vl::bench::PrintFigure("service." + key + "_us", 1e6 / perSecond, "us");
    vl::bench::PrintFigure("service." + key + "_bytes", static_cast<double>(json.size()), "B");
    if (checksum == 42) std::printf("\n"); // keeps the work observable
}

} // namespace

int main()
{
    const std::string hostile = ManyMembers(95000);
    Measure("small", R"({"id":12,"method":"SaveData","args":["score","4711"]})");
    Measure("long_value", R"({"id":12,"method":"SaveData","args":["score",")" +
                              std::string(hostile.size() - 48, 'v') + "\"]}");
    Measure("members95000", hostile);
    return 0;
}
