// The static parking's two calculations at a large airport: 512 stands with up to 8 neighbours and 64 learned
// uses each (real and soft, every weekday), 256 active statics and 64 parked live aircraft, MAX_FIT 47, WEEK
// and PARK_SOFT on, 50 % wanted. Compared with a baseline that tests one slot bit of every use in each of the
// 48 levels of the 4 modes.
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "airports/stands.h"
#include "bench/rate_reporter.h"
#include "core/clock.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "state/run_state.h"
#include "traffic/max_fit.h"
#include "traffic/static_plan.h"
#include "traffic/traffic_tables.h"

namespace {

using namespace zeph;

constexpr GeoPoint kAirport{50.0, 8.0};
constexpr int kStands = 512;
constexpr int kUses = 64;
constexpr double kFeetPerMetre = 3.280839895;

GeoPoint standPoint(int k) {
    const GeoPoint north = gf_destinationPoint(kAirport, 0.0, (k / 32) * 40.0 * kFeetPerMetre);
    return gf_destinationPoint(north, kTwoPi / 4.0, (k % 32) * 40.0 * kFeetPerMetre);
}

// 40 m apart with a 33 m radius: the eight stands around each one overlap it.
void installStands() {
    std::mt19937 engine(512);
    lf_clearParkPositions();
    for (int k = 0; k < kStands; ++k) {
        std::vector<StandUse> uses;
        for (int u = 1; u <= kUses; ++u) {
            const auto first = static_cast<std::uint32_t>(engine() % 44);
            HalfHourSet slots;
            const auto span = static_cast<std::uint32_t>(1 + engine() % 4);
            for (std::uint32_t s = first; s < first + span; ++s)
                slots.set(s);
            uses.push_back(
                StandUse{"DLH", "A320", fmt::format("D-{}-{}", k, u), fmt::format("DLH{}", k * kUses + u), "",
                         slots, static_cast<std::uint32_t>(u), static_cast<std::uint32_t>(1 + engine() % 7),
                         0, static_cast<std::uint32_t>(u % 2), 0});
        }
        gf_appendStand(
            ParkPos(fmt::format("S{}", k), std::move(uses), standPoint(k), 0.0, 33.0, false, false, false));
    }
    for (int k = 0; k < kStands; ++k) {
        standList[k].number = static_cast<std::uint32_t>(k + 1);
        for (int other = 0; other < kStands; ++other) {
            const bool near =
                other != k && std::abs(other / 32 - k / 32) <= 1 && std::abs(other % 32 - k % 32) <= 1;
            if (near)
                standList[k].adjacentStands.push_back(static_cast<std::uint32_t>(other + 1));
        }
    }
}

void installAircraft() {
    staticAcTable.clear(), liveAcTable.clear(), removalQueue.clear(), staticPlan.clear();
    for (int k = 0; k < 256; ++k) {
        StaticAc& s = staticAcTable.emplace_back();
        const ParkPos& stand = standList[k * 2];
        s.hexid = static_cast<std::uint32_t>(k + 1), s.objectId = 1000 + s.hexid, s.state = AcState::active;
        s.airline = "DLH", s.type = "A320", s.callsign = fmt::format("DLH{}*", k),
        s.firstCallsign = fmt::format("DLH{}", k);
        s.standNumber = stand.number, s.standLatitude = stand.latitude, s.standLongitude = stand.longitude;
        s.parkingDay = 3, s.parkingHalfHour = static_cast<std::uint32_t>(k % 20), s.radius = 0.0097;
    }
    for (int k = 0; k < 64; ++k) {
        LiveAc& live = liveAcTable.emplace_back();
        live.hexid = static_cast<std::uint32_t>(20000 + k), live.state = AcState::active,
        live.phase = AcPhase::parked;
        live.callsign = fmt::format("KLM{}", k), live.standNumber = static_cast<std::uint32_t>(k * 2 + 2);
        live.parkedSince = nowSystemTicks();
    }
}

void setUp() {
    MAX_FIT.setValue(47), WEEK.setValue(true), PARK_SOFT.setValue(true), RANDOM.setValue(false);
    parking_percentage.setValue(50), MAX_PARK_SEL.setValue(500), INITIAL_LOAD_ONLY.setValue(false);
    currentWeekSlot.store(packWeekSlot({3, 20}));
    installStands();
}

void BM_RenewalWorstCase(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        installAircraft();
        state.ResumeTiming();
        lf_parkingAdjustments();
        benchmark::DoNotOptimize(staticPlan.data());
    }
    bench::countItemsRate(state);
}

void BM_FirstCalculation(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        installAircraft();
        staticAcTable.clear(), liveAcTable.clear();
        state.ResumeTiming();
        lf_staticPositionsReport();
        benchmark::DoNotOptimize(staticPlan.data());
    }
    bench::countItemsRate(state);
}

void BM_Baseline(benchmark::State& state) {
    for (auto _ : state) {
        std::size_t found = 0;
        for (int mode = 0; mode < 4; ++mode) {
            for (std::uint32_t level = 0; level < 48; ++level) {
                for (const ParkPos& stand : standList) {
                    for (const StandUse& use : stand.uses)
                        found += use.slots.test(47 - level) ? 1 : 0;
                }
            }
        }
        benchmark::DoNotOptimize(found);
    }
    bench::countItemsRate(state);
}

BENCHMARK(BM_RenewalWorstCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstCalculation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setUp();
    benchmark::Initialize(&argc, argv);
    zeph::bench::RateReporter reporter("items");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double renewal = reporter.rateOf("BM_RenewalWorstCase");
    const double first = reporter.rateOf("BM_FirstCalculation");
    const double baseline = reporter.rateOf("BM_Baseline");
    fmt::print("lf_parkingAdjustments: {:.1f} ms (target <= 50 ms), {:.1f}x the baseline (target <= 20x)\n",
               renewal > 0 ? 1e3 / renewal : 0.0, renewal > 0 ? baseline / renewal : 0.0);
    fmt::print("lf_staticPositionsReport: {:.1f} ms (target <= 30 ms)\n", first > 0 ? 1e3 / first : 0.0);
    return 0;
}
