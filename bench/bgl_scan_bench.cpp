// The add-on airport scan at scale, on a warm page cache, each ratio printed beside its target:
//   decode: reading and walking a 64 MB BGL file (4000 airports of 60 stands, then filler records) against
//           one read() of it into words and one summing pass;
//   quick test: lf_hasAirportSection over 20,000 small files against open + read(4096) + close;
//   scan: lf_runAirportsScan over 20,000 generated BGL files (2 % with an airport) with real linking and
//         generation, against find | xargs cat over the same files;
//   folder-heavy scan: lf_runAirportsScan over 40,000 folders of one BGL file each (200 of 200), against a
//         walk that ignores unlistable folders and gives each file the same quick test.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "airports/addon_scan.h"
#include "airports/airport_database.h"
#include "airports/bgl_file.h"
#include "core/scan_throttle.h"
#include "gen/scenery_tree.h"

namespace {

namespace fs = std::filesystem;
using namespace zeph;
using Clock = std::chrono::steady_clock;

const std::vector<std::string> kCodes{"EHAM", "EGLL", "LFPG", "EDDF", "KJFK"};

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The best of a few runs; the first warms the cache.
template <class F> double best(int runs, F run) {
    double fastest = 1e9;
    for (int i = 0; i <= runs; ++i) {
        const auto start = Clock::now();
        run();
        if (i > 0) {
            fastest = std::min(fastest, seconds(Clock::now() - start));
        }
    }
    return fastest;
}

fs::path cacheDir(const std::string& name) { return fs::path(CORVANE_BINARY_DIR) / "bench_cache" / name; }

bool cached(const fs::path& root) { return fs::exists(root / "complete"); }
void markComplete(const fs::path& root) { std::ofstream(root / "complete").flush(); }

fs::path bigFile() {
    const fs::path root = cacheDir("bgl_decode");
    const fs::path file = root / "big.bgl";
    if (cached(root)) {
        return file;
    }
    gen::BglSection section;
    for (int i = 0; i < 4000; ++i) {
        gen::BglAirport airport =
            gen::sampleAirport(kCodes[static_cast<std::size_t>(i) % kCodes.size()], 60, 0);
        for (auto& parking : std::get<gen::BglParkingList>(airport.subrecords.back()).entries) {
            parking.airlineCodes = 20;
        }
        section.airports.push_back(airport);
    }
    section.trailing.assign(4000, gen::BglRaw{0x22, 10000});
    gen::writeBytes(file, gen::buildBgl(gen::BglFile{{section}, {}, {}}));
    markComplete(root);
    return file;
}

std::uint64_t readAndSum(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY);
    const auto size = static_cast<std::size_t>(fs::file_size(file));
    std::vector<std::uint32_t> words((size + 3) / 4, 0);
    const ssize_t got = ::read(fd, words.data(), size);
    ::close(fd);
    return std::accumulate(words.begin(), words.end(), std::uint64_t{0}) + static_cast<std::uint64_t>(got);
}

void decodeBenchmark() {
    const fs::path file = bigFile();
    volatile std::uint64_t sink = 0;
    const double baseline = best(3, [&] { sink = sink + readAndSum(file); });
    const BglAirportSink noOp{[](ApfData&, std::uint32_t&, const fs::path&) { return false; },
                              [](ApfData&, const std::uint32_t&) {}};
    const double decode = best(3, [&] { lf_processBGLfile(file, noOp); });
    fmt::print("decode {:.1f} MB: read+walk {:.3f} s, read+sum {:.3f} s: {:.2f}x (target <= 2x)\n",
               static_cast<double>(fs::file_size(file)) / 1e6, decode, baseline, decode / baseline);
}

std::vector<fs::path> smallFiles() {
    const fs::path root = cacheDir("bgl_quick");
    std::vector<fs::path> files;
    std::mt19937 engine(7);
    for (int i = 0; i < 20000; ++i) {
        files.push_back(root / fmt::format("d{}", i % 50) / fmt::format("f{}.bgl", i));
    }
    if (!cached(root)) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (i % 50 == 0) {
                gen::writeAirportBgl(files[i], {gen::sampleAirport("EHAM", 20, 0)});
            } else {
                gen::writeFillerBgl(files[i], 200 + engine() % (4096 - 200));
            }
        }
        markComplete(root);
    }
    return files;
}

void quickTestBenchmark() {
    const std::vector<fs::path> files = smallFiles();
    volatile std::size_t count = 0;
    const double baseline = best(3, [&] {
        std::vector<char> buffer(4096);
        for (const fs::path& file : files) {
            const int fd = ::open(file.c_str(), O_RDONLY);
            count = count +
                    static_cast<std::size_t>(std::max<ssize_t>(0, ::read(fd, buffer.data(), buffer.size())));
            ::close(fd);
        }
    });
    const double quick = best(3, [&] {
        for (const fs::path& file : files) {
            count = count + (lf_hasAirportSection(file) ? 1 : 0);
        }
    });
    fmt::print("quick test of {} files: {:.3f} s, open+read+close {:.3f} s: {:.2f}x (target <= 1.5x)\n",
               files.size(), quick, baseline, quick / baseline);
}

void scanBenchmark() {
    const fs::path root = cacheDir("bgl_scenery");
    if (!cached(root)) {
        fs::remove_all(root);
        gen::writeScaleScenery(root, 20000, 0.02, 1, kCodes);
        markComplete(root);
    }
    const std::string command =
        fmt::format("find '{}' -name '*.bgl' -print0 | xargs -0 cat > /dev/null", root.string());
    const double cat = best(3, [&] {
        if (std::system(command.c_str()) != 0) {
            fmt::print("the cat baseline failed\n");
        }
    });
    const fs::path work = cacheDir("bgl_scan_work");
    fs::create_directories(work);
    const fs::path previous = fs::current_path();
    fs::current_path(work);
    maxScanTasks = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    const double scan = best(3, [&] {
        fs::remove_all("airports");
        lf_runAirportsScan({root});
    });
    fs::current_path(previous);
    fmt::print("scan of 20000 files: {:.3f} s, find|xargs cat {:.3f} s: {:.2f}x (target <= 2.5x)\n", scan,
               cat, scan / cat);
}

fs::path folderHeavyTree() {
    const fs::path root = cacheDir("bgl_folders");
    if (!cached(root)) {
        fs::remove_all(root);
        for (int i = 0; i < 40000; ++i) {
            gen::writeFillerBgl(root / fmt::format("d{}", i / 200) / fmt::format("f{}", i) / "a.bgl",
                                200 + static_cast<std::size_t>(i % 800));
        }
        markComplete(root);
    }
    return root;
}

// The walk the scan makes, less the care for folders that cannot be listed: they are skipped unseen.
std::size_t walkIgnoringUnlistable(const fs::path& root) {
    std::size_t airports = 0;
    for (const fs::directory_entry& entry :
         fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied)) {
        if (entry.is_regular_file() && entry.path().extension() == ".bgl" &&
            lf_hasAirportSection(entry.path())) {
            ++airports;
        }
    }
    return airports;
}

void folderHeavyBenchmark() {
    const fs::path root = folderHeavyTree();
    volatile std::size_t count = 0;
    const double walk = best(3, [&] { count = count + walkIgnoringUnlistable(root); });
    const fs::path work = cacheDir("bgl_scan_work");
    fs::create_directories(work);
    const fs::path previous = fs::current_path();
    fs::current_path(work);
    const double scan = best(3, [&] {
        fs::remove_all("airports");
        lf_runAirportsScan({root});
    });
    fs::current_path(previous);
    fmt::print("scan of 40000 folders of one file: {:.3f} s, walk ignoring unlistable folders {:.3f} s: "
               "{:.2f}x (target <= 1.2x)\n",
               scan, walk, scan / walk);
}

} // namespace

int main() {
    for (const std::string& code : kCodes) {
        airportTable.push_back(AirportRecord{code, "", 0, 0, 0, 0});
        airportCodes.insert(code);
    }
    publisherNames = {{"Some Publisher"}};
    decodeBenchmark();
    quickTestBenchmark();
    scanBenchmark();
    folderHeavyBenchmark();
    return 0;
}
