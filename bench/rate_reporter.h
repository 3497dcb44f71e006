#pragma once
// A console reporter that also keeps one counter (a rate) of every run by benchmark name, so a benchmark's
// main can print its measured ratio next to its target.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

namespace zeph::bench {

class RateReporter : public benchmark::ConsoleReporter {
public:
    explicit RateReporter(std::string counter) : counter_(std::move(counter)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            auto found = run.counters.find(counter_);
            if (found != run.counters.end()) {
                rates_[run.benchmark_name()] = found->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The rate of the first run whose name starts with prefix, 0 when there is none.
    double rateOf(const std::string& prefix) const {
        for (const auto& [name, rate] : rates_) {
            if (name.rfind(prefix, 0) == 0) {
                return rate;
            }
        }
        return 0.0;
    }

private:
    std::string counter_;
    std::map<std::string, double> rates_;
};

// The iterations of a run as the rate "items" a RateReporter("items") keeps.
inline void countItemsRate(benchmark::State& state) {
    state.counters["items"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace zeph::bench
