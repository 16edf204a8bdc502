// What every benchmark program shares: a monotonic stopwatch, order statistics of samples,
// and the figure lines that bench/run_benchmarks.sh collects into its table:
//   figure <key> <value> <unit>
// A program that cannot measure something prints "missing <key> <reason>" instead and goes on.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace vl::bench {

class Stopwatch {
public:
    Stopwatch() : m_start(Clock::now()) {}
    void Restart() { m_start = Clock::now(); }
    double Seconds() const { return std::chrono::duration<double>(Clock::now() - m_start).count(); }
    double Milliseconds() const { return Seconds() * 1000.0; }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point m_start;
};

// The nearest-rank percentile (0 < p <= 100) of `samples`; 0 for no samples.
inline double Percentile(std::vector<double> samples, double p)
{
    if (samples.empty()) return 0.0;
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

// The middle value (the mean of the two middle ones for an even count).
inline double Median(std::vector<double> samples)
{
    if (samples.empty()) return 0.0;
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2.0;
}

inline void PrintFigure(const std::string& key, double value, const char* unit)
{
    std::printf("figure %s %.6g %s\n", key.c_str(), value, unit);
    std::fflush(stdout);
}

// Median and 99th percentile of `samples` as "<key>.median" and "<key>.p99", and their count.
inline void PrintLatency(const std::string& key, const std::vector<double>& samples, const char* unit)
{
    PrintFigure(key + ".median", Median(samples), unit);
    PrintFigure(key + ".p99", Percentile(samples, 99.0), unit);
    PrintFigure(key + ".count", static_cast<double>(samples.size()), "samples");
}

inline void PrintMissing(const std::string& key, const std::string& reason)
{
    std::printf("missing %s %s\n", key.c_str(), reason.c_str());
    std::fflush(stdout);
}

// CPU time of the calling thread, in seconds: throughput on a machine shared with other
// work is counted against the time the thread actually ran.
inline double ThreadCpuSeconds()
{
#ifdef _WIN32
    FILETIME created, ended, kernel, user;
    if (!::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user)) return 0.0;
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
#endif
}

// Runs `work` (which handles `batch` items per call) until the thread has run for
// `cpuSeconds`, or for as long as it got within `wallSeconds` when the machine is busy;
// items per CPU second.
template <typename Work>
double ItemsPerCpuSecond(Work work, std::size_t batch, double cpuSeconds = 0.5, double wallSeconds = 3.0)
{
    work(); // warm caches and allocators
    std::size_t items = 0;
    const Stopwatch wall;
    const double start = ThreadCpuSeconds();
    double spent = 0.0;
    do {
        work();
        items += batch;
        spent = ThreadCpuSeconds() - start;
    } while (spent < cpuSeconds && (wall.Seconds() < wallSeconds || spent <= 0.0));
    return static_cast<double>(items) / spent;
}

} // namespace vl::bench
