// The registration look-ups at the size of a real table: the livery scan asks lf_findRegcodeInText for
// every section without airline and atc_id, the traffic engine asks gf_lookupRegcode for every new aircraft.
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/regcodes.h"
#include "bench/rate_reporter.h"

namespace {

using namespace zeph;

std::string randomText(std::mt19937& engine, std::size_t length) {
    static constexpr char letters[] = "ABCDEFGHJKLMNPQRSTUVWXYZ0123456789";
    std::string text;
    for (std::size_t k = 0; k < length; ++k) {
        text += letters[engine() % (sizeof letters - 1)];
    }
    return text;
}

// 120,000 keys, a quarter of them shorter than 6 characters; 10,000 titles; 10,000 registrations of five
// letters without a dash, so each look-up tries three keys.
struct Data {
    std::vector<std::string> titles;
    std::vector<std::string> registrations;
    Data() {
        std::mt19937 engine(120000);
        while (regcodeTable.size() < 120000) {
            const bool isShort = regcodeTable.size() % 4 == 0;
            const std::string key = isShort
                                        ? randomText(engine, 3 + engine() % 3)
                                        : randomText(engine, 2) + "-" + randomText(engine, 3 + engine() % 4);
            regcodeTable[key] = RegcodeRecord{"KLM", "B738", "KLM", false};
        }
        lf_buildRegcodeIndex();
        for (int k = 0; k < 10000; ++k) {
            titles.push_back(
                fmt::format("Boeing 737-800 {} livery {}", randomText(engine, 6), randomText(engine, 4)));
            registrations.push_back(randomText(engine, 5));
        }
    }
};

const Data& data() {
    static const Data made;
    return made;
}

// The walk over the whole table, as a reference: the first short key that occurs in the title.
std::optional<std::string> walkTable(const std::string& text) {
    for (const auto& [key, record] : regcodeTable) {
        if (!key.empty() && key.size() < 6 && text.find(key) != std::string::npos) {
            return key;
        }
    }
    return std::nullopt;
}

template <typename Step>
void perItem(benchmark::State& state, const std::vector<std::string>& items, Step step) {
    std::size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(step(items[k++ % items.size()]));
    }
    bench::countItemsRate(state);
}

void BM_findRegcodeInText(benchmark::State& state) { perItem(state, data().titles, lf_findRegcodeInText); }
void BM_walkTable(benchmark::State& state) { perItem(state, data().titles, walkTable); }
void BM_lookupRegcode(benchmark::State& state) { perItem(state, data().registrations, gf_lookupRegcode); }
void BM_oneFind(benchmark::State& state) {
    perItem(state, data().registrations,
            [](const std::string& key) { return regcodeTable.find(key) != regcodeTable.end(); });
}

BENCHMARK(BM_findRegcodeInText);
BENCHMARK(BM_walkTable);
BENCHMARK(BM_lookupRegcode);
BENCHMARK(BM_oneFind);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    zeph::bench::RateReporter reporter("items");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double indexed = reporter.rateOf("BM_findRegcodeInText");
    const double walk = reporter.rateOf("BM_walkTable");
    const double lookup = reporter.rateOf("BM_lookupRegcode");
    const double find = reporter.rateOf("BM_oneFind");
    fmt::print("lf_findRegcodeInText vs the walk over the table: {:.0f}x faster (target >= 100x)\n",
               walk > 0 ? indexed / walk : 0.0);
    fmt::print("gf_lookupRegcode vs one find: {:.2f}x the time (target <= 3x)\n",
               lookup > 0 ? find / lookup : 0.0);
    return 0;
}
