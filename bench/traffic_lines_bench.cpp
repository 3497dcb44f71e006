// How fast the Traffic Reader parses traffic lines, against the bare split of the same lines at ','.
// Targets: parsing with the push off costs at most 2x the split per line, runs at 2,000,000 lines/s or more
// on one core, and allocates nothing per line. Bad lines are reported without a target. Each benchmark runs
// three times and the summary takes the medians; times are the thread's own CPU time, so a shared machine
// that makes the thread wait for a core does not count as parsing time.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <time.h>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "bench/allocation_count.h"
#include "realtraffic/report_queue.h"
#include "realtraffic/traffic_reader.h"
#include "rtfeed/traffic_line.h"
#include "settings/range.h"
#include "traffic/traffic_tables.h"

namespace {

using zeph::rtfeed::TrafficLine;

constexpr std::size_t kLineCount = 100000;
constexpr std::size_t kPushBatch = 5000; // below the adding stack's bound
const zeph::GeoPoint kUser{52.3, 4.76};

// All lines in one buffer, and a view of each.
struct LineBuffer {
    std::string bytes;
    std::vector<std::string_view> lines;
};

LineBuffer makeBuffer(bool bad) {
    static const char* const kTypes[] = {"B738", "A320", "E190", "B77W", "A359", "AT76", "DH8D", "B744"};
    static const char* const kBadFields[][2] = {{"2", "nan"},  {"8", "1e400"}, {"1", "abc"}, {"4", "x"},
                                                {"14", "inf"}, {"25", "400"},  {"20", "+5"}, {"7", "?"}};
    std::vector<std::string> texts;
    texts.reserve(kLineCount);
    for (std::size_t i = 0; i < kLineCount; ++i) {
        TrafficLine line;
        line.hexid = static_cast<std::uint32_t>(10001 + i * 37);
        line.latitude = kUser.lat + static_cast<double>(i % 101) * 0.005 - 0.25;
        line.longitude = kUser.lon + static_cast<double>(i % 97) * 0.008 - 0.38;
        line.altitude = 2000.0 + static_cast<double>(i % 360) * 100.0;
        line.verticalRate = static_cast<double>(i % 41) * 100.0 - 2000.0;
        line.track = static_cast<double>(i % 3600) / 10.0;
        line.groundSpeed = 140.0 + static_cast<double>(i % 340);
        line.callsign = fmt::format("KLM{}", i % 10000);
        line.type = kTypes[i % std::size(kTypes)];
        line.registration = fmt::format("PH-{:03}", i % 1000);
        line.time = 1733560000.0 + static_cast<double>(i) / 100.0;
        line.trueAirspeed = i % 5 == 0 ? -1.0 : line.groundSpeed + 10.0;
        line.roll = static_cast<double>(i % 21) - 10.0;
        line.trueHeading = static_cast<double>(i % 3599) / 10.0 + 0.1;
        if (bad) {
            const auto& field = kBadFields[i % std::size(kBadFields)];
            line.set(static_cast<std::size_t>(std::atoi(field[0])), field[1]);
        }
        texts.push_back(line.toDatagram());
    }
    LineBuffer buffer;
    std::size_t total = 0;
    for (const auto& text : texts) {
        total += text.size();
    }
    buffer.bytes.reserve(total);
    std::vector<std::size_t> starts;
    for (const auto& text : texts) {
        starts.push_back(buffer.bytes.size());
        buffer.bytes += text;
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        buffer.lines.emplace_back(buffer.bytes.data() + starts[i], texts[i].size());
    }
    return buffer;
}

const LineBuffer& goodLines() {
    static const LineBuffer buffer = makeBuffer(false);
    return buffer;
}

const LineBuffer& badLines() {
    static const LineBuffer buffer = makeBuffer(true);
    return buffer;
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The bare split of every line at ',' with memchr, the measure of the parse.
void splitAtCommas(const std::vector<std::string_view>& lines) {
    static std::vector<std::string_view> fields(64);
    for (const std::string_view line : lines) {
        fields.clear();
        const char* cursor = line.data();
        const char* const end = cursor + line.size();
        while (true) {
            const auto* comma =
                static_cast<const char*>(std::memchr(cursor, ',', static_cast<std::size_t>(end - cursor)));
            if (comma == nullptr) {
                fields.emplace_back(cursor, static_cast<std::size_t>(end - cursor));
                break;
            }
            fields.emplace_back(cursor, static_cast<std::size_t>(comma - cursor));
            cursor = comma + 1;
        }
        benchmark::DoNotOptimize(fields.data());
        benchmark::ClobberMemory();
    }
}

// Runs work over every line once per iteration, and the bare split of the same lines right after it, so that
// a change of the machine's load between the two does not show as a change of their ratio. Times and
// allocations cover only the work.
template <class Work> void runOverLines(benchmark::State& state, const LineBuffer& buffer, Work work) {
    std::uint64_t lines = 0;
    double seconds = 0.0;
    double splitSeconds = 0.0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        const std::uint64_t allocationsBefore = allocationCount.load(std::memory_order_relaxed);
        const double start = threadCpuSeconds();
        work(state, buffer.lines);
        seconds += threadCpuSeconds() - start;
        allocations += allocationCount.load(std::memory_order_relaxed) - allocationsBefore;
        lines += buffer.lines.size();
        const double splitStart = threadCpuSeconds();
        splitAtCommas(buffer.lines);
        splitSeconds += threadCpuSeconds() - splitStart;
    }
    state.counters["ns_per_line"] = seconds * 1e9 / static_cast<double>(lines);
    state.counters["allocs_per_line"] = static_cast<double>(allocations) / static_cast<double>(lines);
    state.counters["ratio_to_split"] = seconds / splitSeconds;
}

void BM_CommaSplit(benchmark::State& state) {
    runOverLines(state, goodLines(),
                 [](benchmark::State&, const std::vector<std::string_view>& lines) { splitAtCommas(lines); });
}

zeph::TrafficReader& benchReader() {
    static zeph::TrafficReader reader;
    reader.setUserPosition(kUser);
    zeph::lateralRangeNm.store(40.0);
    return reader;
}

void BM_TrafficLines(benchmark::State& state) {
    zeph::TrafficReader& reader = benchReader();
    zeph::setTrafficAccepting(false);
    runOverLines(state, goodLines(), [&](benchmark::State&, const std::vector<std::string_view>& lines) {
        for (const std::string_view line : lines) {
            reader.lf_onTrafficDatagram(line);
        }
    });
}

void drainAddingStack() {
    const std::lock_guard lock(zeph::addingStackMutex);
    zeph::addingStack.clear();
}

// Its time per line includes the drain of the stack, which is small beside the parse.
void BM_TrafficLinesPush(benchmark::State& state) {
    zeph::TrafficReader& reader = benchReader();
    drainAddingStack();
    zeph::setTrafficAccepting(true);
    runOverLines(state, goodLines(), [&](benchmark::State& s, const std::vector<std::string_view>& lines) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            reader.lf_onTrafficDatagram(lines[i]);
            if ((i + 1) % kPushBatch == 0) {
                s.PauseTiming();
                drainAddingStack();
                s.ResumeTiming();
            }
        }
    });
    zeph::setTrafficAccepting(false);
    drainAddingStack();
}

void BM_BadTrafficLines(benchmark::State& state) {
    zeph::TrafficReader& reader = benchReader();
    zeph::setTrafficAccepting(false);
    runOverLines(state, badLines(), [&](benchmark::State&, const std::vector<std::string_view>& lines) {
        for (const std::string_view line : lines) {
            reader.lf_onTrafficDatagram(line);
        }
    });
}

BENCHMARK(BM_CommaSplit)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_TrafficLines)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_TrafficLinesPush)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_BadTrafficLines)->Unit(benchmark::kMillisecond)->Repetitions(3);

// Keeps the median counters of every benchmark by its function's name for the summary.
class CounterReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.aggregate_name == "median") {
                counters_[run.run_name.function_name] = run.counters;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double value(const std::string& name, const std::string& counter) const {
        const auto found = counters_.find(name);
        if (found == counters_.end()) {
            return 0.0;
        }
        const auto c = found->second.find(counter);
        return c == found->second.end() ? 0.0 : c->second.value;
    }

private:
    std::map<std::string, benchmark::UserCounters> counters_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CounterReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double ratio = reporter.value("BM_TrafficLines", "ratio_to_split");
    // From the parse's own time: the benchmark's items per second count the split timed beside it too.
    const double nanos = reporter.value("BM_TrafficLines", "ns_per_line");
    const double rate = nanos > 0.0 ? 1e9 / nanos : 0.0;
    const double allocations = reporter.value("BM_TrafficLines", "allocs_per_line");
    std::printf(
        "BM_TrafficLines (medians of 3): %.2fx the split per line (target <= 2), %.0f lines/s (target >= "
        "2,000,000), %.4f allocations per line (target 0)\n",
        ratio, rate, allocations);
    benchmark::Shutdown();
    return 0;
}
