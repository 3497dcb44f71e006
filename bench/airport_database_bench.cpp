// The airport database at full size: 15,000 generated airports, sealed. Reading it is compared with its
// two costs alone (opening the sealed file, loading the XML); the look-ups have absolute targets.
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <pugixml.hpp>

#include "aircraft/data_file_crypto.h"
#include "aircraft/data_file_key.h"
#include "airports/airport_database.h"
#include "bench/rate_reporter.h"
#include "sealdata/seal_file.h"

namespace {

using namespace zeph;
namespace fs = std::filesystem;

constexpr int kAirports = 15000;

// A program folder in the temp dir with input/airports.enc, made the current folder.
struct Folder {
    fs::path root = fs::temp_directory_path() / fmt::format("corvane_airports_bench_{}", ::getpid());
    std::vector<std::string> codes;
    Folder() {
        fs::create_directories(root / "input");
        std::mt19937 engine(15000);
        std::uniform_real_distribution<double> lat(-60.0, 70.0);
        std::uniform_real_distribution<double> lon(-180.0, 180.0);
        std::string xml = "<root><airports>";
        for (int k = 0; k < kAirports; ++k) {
            const std::string code =
                fmt::format("{}{:03}", static_cast<char>('A' + engine() % 26), k % 1000) +
                static_cast<char>('A' + k / 1000);
            codes.push_back(code);
            xml += fmt::format(
                R"(<airport code="{}" iata="X{}" lat="{:.4f}" lon="{:.4f}" alt="{}" stands="{}"/>)", code,
                k % 100, lat(engine), lon(engine), engine() % 5000, engine() % 200);
        }
        xml += "</airports></root>";
        const fs::path plain = root / "plain.xml";
        std::FILE* out = std::fopen(plain.c_str(), "wb");
        std::fwrite(xml.data(), 1, xml.size(), out);
        std::fclose(out);
        const auto key = gf_dataFileKey();
        sealdata::sealFile(plain, root / "input" / "airports.enc", key, {});
        fs::current_path(root);
    }
    ~Folder() {
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(root);
    }
};

Folder& folder() {
    static Folder made;
    return made;
}

void rate(benchmark::State& state, double perIteration = 1.0) {
    state.counters["items"] = benchmark::Counter(static_cast<double>(state.iterations()) * perIteration,
                                                 benchmark::Counter::kIsRate);
}

void BM_readAirports(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        resetAirportDatabaseForTests();
        state.ResumeTiming();
        benchmark::DoNotOptimize(gf_readAirports());
    }
    rate(state);
}

void BM_decryptAndLoadAlone(benchmark::State& state) {
    for (auto _ : state) {
        gf_streamDecrypt("input/airports.enc", "input/plain.xml");
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_file("input/plain.xml"));
        fs::remove("input/plain.xml");
    }
    rate(state);
}

// The look-ups run on a loaded table, whichever benchmarks are chosen.
void ensureLoaded() {
    if (!airportsLoaded) {
        gf_readAirports();
    }
}

void BM_findAirport(benchmark::State& state) {
    ensureLoaded();
    std::size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gf_findAirport(folder().codes[k++ % folder().codes.size()]));
    }
    rate(state);
}

void BM_closestAirport(benchmark::State& state) {
    ensureLoaded();
    double lat = -50.0;
    for (auto _ : state) {
        lat = lat > 60.0 ? -50.0 : lat + 0.37;
        benchmark::DoNotOptimize(gf_closestAirport(GeoPoint{lat, 8.0}));
    }
    rate(state);
}

BENCHMARK(BM_readAirports)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_decryptAndLoadAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_findAirport);
BENCHMARK(BM_closestAirport)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    folder();
    benchmark::Initialize(&argc, argv);
    zeph::bench::RateReporter reporter("items");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double read = reporter.rateOf("BM_readAirports");
    const double alone = reporter.rateOf("BM_decryptAndLoadAlone");
    const double find = reporter.rateOf("BM_findAirport");
    const double closest = reporter.rateOf("BM_closestAirport");
    fmt::print("gf_readAirports vs decryption + XML load alone: {:.2f}x the time (target <= 2x)\n",
               read > 0 ? alone / read : 0.0);
    fmt::print("gf_findAirport: {:.3f} us per call (target <= 1 us)\n", find > 0 ? 1e6 / find : 0.0);
    fmt::print("gf_closestAirport over {} airports: {:.3f} ms (target <= 2 ms)\n", kAirports,
               closest > 0 ? 1e3 / closest : 0.0);
    return 0;
}
