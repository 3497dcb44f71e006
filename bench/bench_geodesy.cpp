// Speed of the three great-circle operations against the same formulas written inline here: the program's
// versions should cost no more than the bare arithmetic (target: each within 1.2x). Nearly all the time
// goes to the library's sin, cos and atan2; the placement of code around those calls alone can move a
// loop by 10-20 %, so a ratio a little below 1 means "no overhead", not "faster than the formula".
#include <benchmark/benchmark.h>
#include <fmt/core.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/geodesy.h"

namespace {

using zeph::GeoPoint;

constexpr std::size_t kPairs = 1'000'000;
constexpr double kTargetRatio = 1.2;

struct Leg {
    GeoPoint from;
    GeoPoint to;
    double bearing;
    double feet;
};

// splitmix64: the same legs on every machine and every run.
std::uint64_t nextBits(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double uniform(std::uint64_t& state, double low, double high) {
    const double unit = static_cast<double>(nextBits(state) >> 11) * 0x1.0p-53;
    return low + unit * (high - low);
}

const std::vector<Leg>& legs() {
    static const std::vector<Leg> all = [] {
        std::vector<Leg> made;
        made.reserve(kPairs);
        std::uint64_t state = 0x5EED;
        for (std::size_t i = 0; i < kPairs; ++i) {
            Leg leg;
            leg.from = {uniform(state, -89, 89), uniform(state, -180, 180)};
            leg.to = {uniform(state, -89, 89), uniform(state, -180, 180)};
            leg.bearing = uniform(state, 0, 6.283185307179586);
            leg.feet = uniform(state, 0, 2'000'000);
            made.push_back(leg);
        }
        return made;
    }();
    return all;
}

// The same formulas, written where the compiler sees them whole.
inline double inlineDistance(const GeoPoint& a, const GeoPoint& b) {
    const double latA = a.lat * 0.017453292519943295;
    const double latB = b.lat * 0.017453292519943295;
    const double h = std::clamp(std::pow(std::sin((latB - latA) / 2), 2) +
                                    std::cos(latA) * std::cos(latB) *
                                        std::pow(std::sin((b.lon - a.lon) * 0.017453292519943295 / 2), 2),
                                0.0, 1.0);
    return std::atan2(std::sqrt(h), std::sqrt(1.0 - h)) * 6875.493541569878;
}

inline double inlineBearing(const GeoPoint& from, const GeoPoint& to) {
    const double latFrom = from.lat * 0.017453292519943295;
    const double latTo = to.lat * 0.017453292519943295;
    const double dLon = (to.lon - from.lon) * 0.017453292519943295;
    const double y = std::sin(dLon) * std::cos(latTo);
    const double x =
        std::cos(latFrom) * std::sin(latTo) - std::sin(latFrom) * std::cos(latTo) * std::cos(dLon);
    const double theta = std::atan2(y, x);
    return theta < 0 ? theta + 6.283185307179586 : theta;
}

inline GeoPoint inlineDestination(const GeoPoint& start, double bearing, double feet) {
    const double lat1 = start.lat * 0.017453292519943295;
    const double d = feet * 4.787404208238998e-8;
    const double lat2 = std::asin(std::clamp(
        std::sin(lat1) * std::cos(d) + std::cos(lat1) * std::sin(d) * std::cos(bearing), -1.0, 1.0));
    const double dLon = std::atan2(std::sin(bearing) * std::sin(d) * std::cos(lat1),
                                   std::cos(d) - std::sin(lat1) * std::sin(lat2));
    const double lon2 = std::remainder(start.lon * 0.017453292519943295 + dLon, 6.283185307179586);
    return GeoPoint{lat2 * 57.29577951308232, lon2 * 57.29577951308232};
}

template <typename Fn> void overAllLegs(benchmark::State& state, Fn fn) {
    const std::vector<Leg>& all = legs();
    for (auto _ : state) {
        for (const Leg& leg : all) {
            benchmark::DoNotOptimize(fn(leg));
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(all.size()));
}

void distanceProgram(benchmark::State& s) {
    overAllLegs(s, [](const Leg& l) { return zeph::gf_greatCircleDistance(l.from, l.to); });
}
void distanceInline(benchmark::State& s) {
    overAllLegs(s, [](const Leg& l) { return inlineDistance(l.from, l.to); });
}
void bearingProgram(benchmark::State& s) {
    overAllLegs(s, [](const Leg& l) { return zeph::gf_initialBearing(l.from, l.to); });
}
void bearingInline(benchmark::State& s) {
    overAllLegs(s, [](const Leg& l) { return inlineBearing(l.from, l.to); });
}
void destinationProgram(benchmark::State& s) {
    overAllLegs(s, [](const Leg& l) { return zeph::gf_destinationPoint(l.from, l.bearing, l.feet); });
}
void destinationInline(benchmark::State& s) {
    overAllLegs(s, [](const Leg& l) { return inlineDestination(l.from, l.bearing, l.feet); });
}

// Several repetitions each, in turns; the fastest repetition counts, which keeps a busy machine's
// interruptions out of the ratio.
constexpr int kRepetitions = 5;

void registerAll() {
    const std::vector<std::pair<const char*, void (*)(benchmark::State&)>> all = {
        {"distance/program", distanceProgram},       {"distance/inline", distanceInline},
        {"bearing/program", bearingProgram},         {"bearing/inline", bearingInline},
        {"destination/program", destinationProgram}, {"destination/inline", destinationInline},
    };
    for (const auto& [name, fn] : all) {
        benchmark::RegisterBenchmark(name, fn)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond);
    }
}

// Prints as usual and keeps the fastest CPU time of each benchmark's repetitions.
class FastestKeeper : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) {
                continue;
            }
            const std::string name = run.run_name.function_name;
            const double time = run.GetAdjustedCPUTime();
            auto [it, added] = fastest.emplace(name, time);
            if (!added) {
                it->second = std::min(it->second, time);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> fastest;
};

} // namespace

int main(int argc, char** argv) {
    legs(); // made before any timing starts
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    FastestKeeper reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    for (const char* topic : {"distance", "bearing", "destination"}) {
        const auto program = reporter.fastest.find(std::string(topic) + "/program");
        const auto inlined = reporter.fastest.find(std::string(topic) + "/inline");
        if (program == reporter.fastest.end() || inlined == reporter.fastest.end()) {
            continue; // filtered out on the command line
        }
        const double ratio = program->second / inlined->second;
        fmt::print("{}: {:.2f}x inline (target <= {:.1f}x){}\n", topic, ratio, kTargetRatio,
                   ratio <= kTargetRatio ? "" : "  MISSED");
    }
    return 0;
}
