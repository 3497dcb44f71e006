// The stand search of an arriving aircraft at a large airport: 512 stands with 100 learned uses each,
// positions near the stands, the learned-use search on. Compared with the 512 distances alone.
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "airports/stands.h"
#include "bench/rate_reporter.h"
#include "model/records.h"

namespace {

using namespace zeph;

constexpr GeoPoint kAirport{50.0, 8.0};
constexpr int kStands = 512;
constexpr int kUses = 100;
constexpr double kSpacingMetres = 60.0;
constexpr double kReachNm = 0.029697624190064796;

GeoPoint offset(GeoPoint from, double northMetres, double eastMetres) {
    const double feetPerMetre = kFeetPerNm / kMetresPerNm;
    const GeoPoint north = gf_destinationPoint(from, 0.0, northMetres * feetPerMetre);
    return gf_destinationPoint(north, kTwoPi / 4.0, eastMetres * feetPerMetre);
}

struct Data {
    std::vector<GeoPoint> positions;
    AcProfile aircraft;
    Data() {
        std::mt19937 engine(512);
        std::uniform_real_distribution<double> near(-30.0, 30.0);
        lf_clearParkPositions();
        for (int k = 0; k < kStands; ++k) {
            std::vector<StandUse> uses;
            for (int u = 1; u <= kUses; ++u) {
                uses.push_back(StandUse{"DLH", "A320", "D-AI" + std::to_string(u), fmt::format("DLH{}", u),
                                        "", HalfHourSet(1ULL << (u % 48)), static_cast<std::uint32_t>(u), 1,
                                        0, 1, 0});
            }
            gf_appendStand(ParkPos(fmt::format("S{}", k), std::move(uses),
                                   offset(kAirport, (k / 32) * kSpacingMetres, (k % 32) * kSpacingMetres),
                                   0.0, 30.0, false, false, false));
        }
        for (int k = 0; k < 100000; ++k) {
            const GeoPoint stand{standList[engine() % kStands].latitude,
                                 standList[engine() % kStands].longitude};
            positions.push_back(offset(stand, near(engine), near(engine)));
        }
        aircraft.callsign = "KLM12";
        aircraft.airline = "KLM";
        aircraft.type = "B738";
        aircraft.radius = 17.9 / kMetresPerNm;
    }
};

const Data& data() {
    static const Data made;
    return made;
}

void BM_findStandFor(benchmark::State& state) {
    std::size_t k = 0;
    for (auto _ : state) {
        const GeoPoint& at = data().positions[k++ % data().positions.size()];
        benchmark::DoNotOptimize(gf_findStandFor(at, data().aircraft, kReachNm, true));
    }
    bench::countItemsRate(state);
}

void BM_distancesAlone(benchmark::State& state) {
    std::size_t k = 0;
    for (auto _ : state) {
        const GeoPoint& at = data().positions[k++ % data().positions.size()];
        double sum = 0.0;
        for (const ParkPos& stand : standList) {
            sum += gf_greatCircleDistance(at, GeoPoint{stand.latitude, stand.longitude});
        }
        benchmark::DoNotOptimize(sum);
    }
    bench::countItemsRate(state);
}

BENCHMARK(BM_findStandFor);
BENCHMARK(BM_distancesAlone);

} // namespace

int main(int argc, char** argv) {
    data();
    benchmark::Initialize(&argc, argv);
    zeph::bench::RateReporter reporter("items");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double search = reporter.rateOf("BM_findStandFor");
    const double distances = reporter.rateOf("BM_distancesAlone");
    fmt::print("gf_findStandFor vs the 512 distances alone: {:.2f}x the time (target <= 1.5x)\n",
               search > 0 ? distances / search : 0.0);
    fmt::print("gf_findStandFor mean: {:.1f} us (target <= 30 us)\n", search > 0 ? 1e6 / search : 0.0);
    return 0;
}
