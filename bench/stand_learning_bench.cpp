// The learned stand use on the traffic thread at a large airport: the coupled-callsign search once a second
// over 512 stands x 50 uses that all pass the day and time test but none matches, against the same loop
// testing only the day and one slot bit; and recording stand uses (arrivals, extensions, new uses) on a list
// of 25,000 uses, against a linear scan of one stand's uses.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "airports/stands.h"
#include "bench/rate_reporter.h"
#include "state/run_state.h"
#include "support/stand_builder.h"
#include "traffic/stand_learning.h"

namespace {

using namespace zeph;

constexpr int kStands = 512;
constexpr int kUsesPerStand = 50;
constexpr int kCalls = 10000;
constexpr int kAircraft = 64;

struct Data {
    std::vector<ParkPos> stands;
    std::vector<LiveAc> aircraft;
    LiveAc searched;
    Data() {
        test::StandBuilder builder(GeoPoint{50.0, 8.0});
        builder.row(kStands, 60.0);
        for (int s = 1; s <= kStands; ++s) {
            for (int u = 0; u < kUsesPerStand; ++u) {
                builder.use({.day = 3,
                             .firstSlot = 20,
                             .lastSlot = 21,
                             .reg = fmt::format("D-U{}", u),
                             .airline = "DLH",
                             .type = "A320",
                             .callsign = fmt::format("DLH{}", u),
                             .callsign2 = fmt::format("DLH{}X", u)},
                            fmt::format("S{}", s));
            }
        }
        builder.install();
        stands = standList;
        for (int k = 0; k < kAircraft; ++k) {
            LiveAc& a = aircraft.emplace_back();
            a.registration = fmt::format("D-R{}", k);
            a.callsign = fmt::format("KLM{}", k);
            a.airline = "KLM";
            a.type = "B738";
        }
        searched.airline = "DLH";
        searched.callsign = "DLH9999";
    }
};

Data& data() {
    static Data made;
    return made;
}

void BM_CoupledSearch(benchmark::State& state) {
    const std::uint64_t now = packWeekSlot({3, 20});
    for (auto _ : state) {
        lf_searchForCoupledCsAroundThisTime(now, data().searched);
        benchmark::DoNotOptimize(data().searched.firstCallsign);
    }
    bench::countItemsRate(state);
}

void BM_DayAndSlotScan(benchmark::State& state) {
    for (auto _ : state) {
        int found = 0;
        for (const ParkPos& stand : standList) {
            for (const StandUse& use : stand.uses) {
                found += use.day == 3 && use.slots.test(20) && use.callsign == "never" ? 1 : 0;
            }
        }
        benchmark::DoNotOptimize(found);
    }
    bench::countItemsRate(state);
}

// Aircraft k % 64 on stand k % 512, half an hour on every 1024 calls, arriving or leaving in turn: arrivals,
// extensions of the open use and, past the occupation span, new uses.
void BM_RecordStandUse(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        standList = data().stands;
        state.ResumeTiming();
        for (int k = 0; k < kCalls; ++k) {
            currentWeekSlot.store(packWeekSlot({3, (k / 1024) * 3 % 48}));
            lf_addRealStandOption(
                static_cast<std::uint32_t>(k % kStands + 1), data().aircraft[k % kAircraft],
                static_cast<std::uint32_t>(k / kAircraft % 3 == 2 ? kStandLeftMode : kStandArrivedMode));
        }
    }
    standList = data().stands;
    state.counters["items"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kCalls, benchmark::Counter::kIsRate);
}

void BM_OneStandScan(benchmark::State& state) {
    int k = 0;
    for (auto _ : state) {
        const ParkPos& stand = standList[static_cast<std::size_t>(k++ % kStands)];
        int found = 0;
        for (const StandUse& use : stand.uses) {
            found += use.id != 0 && use.day == 3 && use.reg == "D-R1" && use.real == 1 ? 1 : 0;
        }
        benchmark::DoNotOptimize(found);
    }
    bench::countItemsRate(state);
}

BENCHMARK(BM_CoupledSearch);
BENCHMARK(BM_DayAndSlotScan);
BENCHMARK(BM_RecordStandUse)->Iterations(20);
BENCHMARK(BM_OneStandScan);

} // namespace

int main(int argc, char** argv) {
    data();
    benchmark::Initialize(&argc, argv);
    zeph::bench::RateReporter reporter("items");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double search = reporter.rateOf("BM_CoupledSearch");
    const double scan = reporter.rateOf("BM_DayAndSlotScan");
    const double record = reporter.rateOf("BM_RecordStandUse");
    const double oneStand = reporter.rateOf("BM_OneStandScan");
    fmt::print("coupled search: {:.0f} us, {:.2f}x the day-and-slot scan (target under 1000 us, <= 2x)\n",
               search > 0 ? 1e6 / search : 0.0, search > 0 ? scan / search : 0.0);
    fmt::print(
        "recording a stand use: {:.2f} us, {:.2f}x a scan of one stand's uses (target under 2 us, <= 3x)\n",
        record > 0 ? 1e6 / record : 0.0, record > 0 ? oneStand / record : 0.0);
    return 0;
}
