// The park airport's file at size: 512 stands read with a learned file of 512 stands × 100 uses, and that
// learned file saved again. Each is compared with its plain costs (the XML library's load or save, and the
// overlap pass's great-circle distances) and printed against the 150 ms that 15 traffic passes take. Then
// learned files that years of traffic grow: 200,000 uses on one stand, and 20,000 over 100 stands, each
// read within 1 s (the read runs on the traffic thread, which must still close down when asked).
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/airport_file_format.h"
#include "airports/learned_airport_saver.h"
#include "airports/park_airport_file.h"
#include "bench/rate_reporter.h"
#include "core/log.h"
#include "traffic/park_airport_status.h"

namespace {

using namespace zeph;
namespace fs = std::filesystem;

constexpr int kStands = 512;
constexpr int kUses = 100;
const std::string kReference = "airports/my_thirdparty/BNCH.xml";
const fs::path kLearned = "airports/learned/thirdparty/BNCH.xml";

ApfData airportOf(bool withUses) {
    ApfData airport{"BNCH", "Bench", "", "", 0, 0, 0, 100, {}};
    for (int n = 0; n < kStands; ++n) {
        airport.stands.emplace_back(fmt::format("S{}", n), std::vector<StandUse>{},
                                    GeoPoint{50.0 + (n / 32) * 0.0008, 8.0 + (n % 32) * 0.0012}, 0.0, 30.0,
                                    false, false, false);
        airport.stands.back().radiusChanged = withUses;
        for (int u = 0; withUses && u < kUses; ++u) {
            airport.stands.back().uses.push_back(
                {"DLH", "A320", fmt::format("D-A{:03}", u), fmt::format("DLH{}", u), "",
                 HalfHourSet(0b111ULL << (u % 40)), static_cast<std::uint32_t>(u + 1),
                 static_cast<std::uint32_t>(u % 7 + 1), 0, 1, 0});
        }
    }
    return airport;
}

// Learned files of as many distinct uses, with as many stands: each its own registration, weekday and hours.
const std::vector<std::pair<int, int>> kGrownFiles = {{1, 200000}, {100, 200}};

fs::path grownFile(int stands) { return fmt::format("airports/learned/grown{}.xml", stands); }

ApfData grownAirport(int stands, int usesPerStand) {
    ApfData airport{"GROW", "Grown", "", "", 0, 0, 0, 100, {}};
    for (int n = 0; n < stands; ++n) {
        airport.stands.emplace_back(fmt::format("S{}", n), std::vector<StandUse>{}, GeoPoint{50.0, 8.0}, 0.0,
                                    30.0, false, false, false);
        for (int u = 0; u < usesPerStand; ++u) {
            airport.stands.back().uses.push_back(
                {"DLH", "A320", fmt::format("D-{:06}", u), "DLH1", "", HalfHourSet(0b11ULL << (u % 46)),
                 static_cast<std::uint32_t>(u + 1), static_cast<std::uint32_t>(u % 7 + 1), 0, 1, 0});
        }
    }
    return airport;
}

struct Folder {
    fs::path root = fs::temp_directory_path() / fmt::format("corvane_park_file_bench_{}", ::getpid());
    Folder() {
        fs::create_directories(root);
        fs::current_path(root);
        gf_writeApf(airportOf(false), kReference, 1, 3);
        gf_writeApf(airportOf(true), kLearned, 0, 3);
        setParkAirportRecord({"BNCH"});
        for (const auto& [stands, uses] : kGrownFiles) {
            gf_writeApf(grownAirport(stands, uses), grownFile(stands), 0, 3);
        }
    }
    ~Folder() {
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(root);
    }
};

void BM_readApf(benchmark::State& state) {
    for (auto _ : state) {
        lf_clearParkPositions();
        ApfHeader header;
        benchmark::DoNotOptimize(gf_readApf(kReference, header));
    }
    bench::countItemsRate(state);
}

void BM_loadAndDistancesAlone(benchmark::State& state) {
    for (auto _ : state) {
        pugi::xml_document park;
        pugi::xml_document learned;
        benchmark::DoNotOptimize(park.load_file(kReference.c_str()));
        benchmark::DoNotOptimize(learned.load_file(kLearned.c_str()));
        double sum = 0.0;
        for (int a = 0; a < kStands; ++a) {
            for (int b = 0; b < kStands; ++b) {
                sum += gf_greatCircleDistance({50.0 + a * 1e-5, 8.0}, {50.0, 8.0 + b * 1e-5});
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    bench::countItemsRate(state);
}

void BM_saveLearned(benchmark::State& state) {
    lf_clearParkPositions();
    ApfHeader header;
    gf_readApf(kReference, header);
    apfHeader = header;
    for (auto _ : state) {
        lf_saveLearnedAirports();
    }
    bench::countItemsRate(state);
}

void BM_saveAlone(benchmark::State& state) {
    pugi::xml_document doc;
    doc.load_file(kLearned.c_str());
    for (auto _ : state) {
        benchmark::DoNotOptimize(doc.save_file("plain.xml"));
    }
    bench::countItemsRate(state);
}

// The stands as the park file gives them, without uses; the learned file brings every use.
void BM_readGrownLearned(benchmark::State& state) {
    const int stands = static_cast<int>(state.range(0));
    ApfData bare = grownAirport(stands, 0);
    const ApfHeader header{bare.airportName, "", 100};
    for (auto _ : state) {
        std::vector<ParkPos> read = bare.stands;
        bool handmade = false;
        lf_readLearned(grownFile(stands), header, read, handmade);
        benchmark::DoNotOptimize(read.data());
    }
    bench::countItemsRate(state);
}

BENCHMARK(BM_readApf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_loadAndDistancesAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_saveLearned)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_saveAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_readGrownLearned)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    const Folder folder;
    benchmark::Initialize(&argc, argv);
    zeph::bench::RateReporter reporter("items");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto ms = [&](const char* name) {
        const double r = reporter.rateOf(name);
        return r > 0 ? 1e3 / r : 0.0;
    };
    const auto ratio = [&](double a, double b) { return b > 0 ? a / b : 0.0; };
    fmt::print("gf_readApf: {:.1f} ms, {:.2f}x loading both files and the overlap distances (target <= 3x; "
               "150 ms)\n",
               ms("BM_readApf"), ratio(ms("BM_readApf"), ms("BM_loadAndDistancesAlone")));
    fmt::print("lf_saveLearnedAirports: {:.1f} ms, {:.2f}x saving an equal document (target <= 3x; 150 ms)\n",
               ms("BM_saveLearned"), ratio(ms("BM_saveLearned"), ms("BM_saveAlone")));
    for (const auto& [stands, uses] : kGrownFiles) {
        fmt::print("lf_readLearned, {} uses on {} stands: {:.1f} ms (target <= 1000 ms)\n", stands * uses,
                   stands, ms(fmt::format("BM_readGrownLearned/{}", stands).c_str()));
    }
    return 0;
}
