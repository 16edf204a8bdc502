// control_load_bench: what a page pays before its first call. The module is loaded and
// its class object taken as a browser does (LoadLibrary, DllGetClassObject), the first
// instance created, then more instances; and the private memory that one instance and
// fifty instances take. Run with the product state reset: no kernel in the home folder,
// so the registration run that every instance starts fails at once.
#include <windows.h>

#include <string>
#include <vector>

#include "bench_report.h"
#include "control_module.h"
#include "process_measures.h"

namespace {

using vl::bench::PrintFigure;
using vl::bench::Stopwatch;

constexpr int kInstances = 50;

struct PrivateMemory {
    std::size_t reported = 0;
    std::size_t committed = 0;
    std::size_t heap = 0;
};

PrivateMemory ReadPrivateMemory()
{
    return {vl::bench::ReportedPrivateBytes(), vl::bench::CommittedPrivateBytes(), vl::bench::HeapBytesInUse()};
}

// KiB per instance between two readings.
double KibPerInstance(std::size_t before, std::size_t after, int instances)
{
    return (static_cast<double>(after) - static_cast<double>(before)) / 1024.0 / instances;
}

void PrintMemory(const std::string& key, const PrivateMemory& before, const PrivateMemory& after, int instances)
{
    PrintFigure(key + ".committed_kib", KibPerInstance(before.committed, after.committed, instances), "KiB");
    PrintFigure(key + ".heap_kib", KibPerInstance(before.heap, after.heap, instances), "KiB");
    if (before.reported != 0 || after.reported != 0)
        PrintFigure(key + ".reported_kib", KibPerInstance(before.reported, after.reported, instances), "KiB");
}

int Run()
{
    vl::bench::ControlModule module;
    if (!module.Load(vl::bench::BuiltModulePath())) {
        vl::bench::PrintMissing("load", module.Failure());
        return 1;
    }
    const PrivateMemory empty = ReadPrivateMemory();
    std::vector<vl::ComPtr<IVLServiceAdapterX>> instances;
    Stopwatch watch;
    instances.push_back(module.CreateInstance());
    const double firstMs = watch.Milliseconds();
    if (!instances.back()) {
        vl::bench::PrintMissing("load", "the class factory created no instance");
        return 1;
    }
    const PrivateMemory one = ReadPrivateMemory();
    std::vector<double> later;
    while (instances.size() < kInstances) {
        watch.Restart();
        instances.push_back(module.CreateInstance());
        later.push_back(watch.Milliseconds());
        if (!instances.back()) {
            vl::bench::PrintMissing("load", "the class factory stopped creating instances");
            return 1;
        }
    }
    const PrivateMemory fifty = ReadPrivateMemory();

    PrintFigure("load.library_ms", module.LoadMilliseconds(), "ms");
    PrintFigure("load.class_object_ms", module.ClassObjectMilliseconds(), "ms");
    PrintFigure("load.first_instance_ms", firstMs, "ms");
    PrintFigure("load.total_ms", module.LoadMilliseconds() + module.ClassObjectMilliseconds() + firstMs, "ms");
    PrintFigure("load.later_instance_ms", vl::bench::Median(later), "ms");
    PrintMemory("memory.one", empty, one, 1);
    PrintMemory("memory.fifty", empty, fifty, kInstances);
    instances.clear();
    return 0;
}

} // namespace

int main()
{
    return vl::bench::RunOnPageThread("load", Run);
}
