// How much the log's lock and line writers cost over a bare stream write, and whether many threads writing
// event lines at once keep the total rate up.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "bench/rate_reporter.h"
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "core/log.h"

namespace {

const std::string line80(79, 'x'); // 79 characters + LF: 80 bytes per line

void BM_bareStreamWrite(benchmark::State& state) {
    std::ofstream out("bare.txt", std::ios::binary | std::ios::trunc);
    for (auto _ : state) {
        out.write(line80.data(), static_cast<std::streamsize>(line80.size()));
        out.put('\n');
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_bareStreamWrite)->Iterations(1000000)->UseRealTime();

void BM_logText(benchmark::State& state) {
    for (auto _ : state) {
        zeph::gf_logText(line80);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_logText)->Iterations(1000000)->UseRealTime();

void BM_logLine(benchmark::State& state) {
    for (auto _ : state) {
        zeph::gf_logLine(line80);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_logLine)->Iterations(100000)->UseRealTime()->Threads(1);
BENCHMARK(BM_logLine)->Iterations(12500)->UseRealTime()->Threads(8);

// Keeps each run's lines per second by benchmark name while printing as usual.

} // namespace

int main(int argc, char** argv) {
    auto folder = std::filesystem::temp_directory_path() / "corvane-bench-log";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    zeph::gf_openLog();

    benchmark::Initialize(&argc, argv);
    zeph::bench::RateReporter reporter("items_per_second");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    zeph::closeLogForTests();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(folder);

    double bare = reporter.rateOf("BM_bareStreamWrite");
    double text = reporter.rateOf("BM_logText");
    double single = reporter.rateOf("BM_logLine/iterations:100000/real_time/threads:1");
    double eight = reporter.rateOf("BM_logLine/iterations:12500/real_time/threads:8");
    fmt::print("gf_logText vs bare ofstream write: {:.2f}x (target >= 0.5x)\n", bare > 0 ? text / bare : 0.0);
    fmt::print("gf_logLine, 8 threads vs 1 thread (lines per second): {:.2f}x (target >= 0.5x)\n",
               single > 0 ? eight / single : 0.0);
    return 0;
}
