// The livery scan at the size of a large collection: 20,000 generated aircraft.cfg files (1-8 sections, the
// charset mix of real collections), against cat-ing the same files; and the key-line readers against
// splitting a buffer at LF. Each ratio is printed beside its target.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/cfg_lines.h"
#include "aircraft/livery_scan.h"
#include "aircraft/regcodes.h"
#include "core/scan_throttle.h"
#include "gen/livery_tree.h"
#include "settings/parameter_table.h"

namespace {

namespace fs = std::filesystem;
using namespace zeph;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 20000;
constexpr std::uint32_t kSeed = 1;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double tv(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; }

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return tv(usage.ru_utime) + tv(usage.ru_stime);
}

// Outside the kernel: the listings themselves are the file system's time, which B0's find pays as well.
double userSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return tv(usage.ru_utime);
}

// The tree, generated once per seed below the build folder and kept.
fs::path cachedTree(const std::vector<std::string>& types, const std::vector<std::string>& airlines) {
    const fs::path root =
        fs::path(CORVANE_BINARY_DIR) / "bench_cache" / fmt::format("liveries_{}_{}", kFiles, kSeed);
    if (fs::exists(root / "complete")) {
        return root;
    }
    fs::remove_all(root);
    gen::ScaleOptions options;
    options.files = kFiles;
    options.seed = kSeed;
    options.ivaoShare = 0.05;
    options.pvtShare = 0.05;
    options.charsets = {{gen::Encoding::Utf8, 70},
                        {gen::Encoding::Utf8Bom, 10},
                        {gen::Encoding::Utf16LeBom, 10},
                        {gen::Encoding::Utf16BeBom, 2},
                        {gen::Encoding::Cp1252, 8}};
    options.types = types;
    options.airlines = airlines;
    gen::generateScaleTree(root, options);
    std::ofstream(root / "complete").flush();
    return root;
}

void installTables(const std::vector<std::string>& types, const std::vector<std::string>& airlines) {
    aircraftTypes = {types.begin(), types.end()};
    airlineCodes = {airlines.begin(), airlines.end()};
    std::mt19937 engine(120000);
    while (regcodeTable.size() < 120000) {
        regcodeTable[fmt::format("N{}", 10000 + engine() % 900000)] = RegcodeRecord{"AAL", "B738", "", false};
    }
    lf_buildRegcodeIndex();
}

double catBaseline(const fs::path& root) {
    const std::string command = fmt::format(
        "find '{}' -type f \\( -iname aircraft.cfg -o -iname sim.cfg \\) -print0 | xargs -0 cat > /dev/null",
        root.string());
    double best = 1e9;
    for (int run = 0; run < 4; ++run) { // the first run warms the cache
        const auto start = Clock::now();
        if (std::system(command.c_str()) != 0) {
            fmt::print("the cat baseline failed\n");
        }
        if (run > 0) {
            best = std::min(best, seconds(Clock::now() - start));
        }
    }
    return best;
}

struct ScanTime {
    double wall;
    double cpu;
};

ScanTime timeScan(const fs::path& root, int tasks) {
    maxScanTasks.store(tasks);
    runningScanTasks.store(0);
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    lf_scanLiveryFolders({root});
    return {seconds(Clock::now() - start), cpuSeconds() - cpuStart};
}

void walkerBenchmark(const fs::path& root);

void scanBenchmark(const fs::path& root) {
    const double cat = catBaseline(root);
    fmt::print("B0 find | xargs cat: {:.3f} s for {} files\n", cat, kFiles);
    const int hardware = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    std::vector<int> counts{1, 2, 4};
    if (std::find(counts.begin(), counts.end(), hardware) == counts.end()) {
        counts.push_back(hardware);
    }
    double atHardware = 0;
    for (const int tasks : counts) {
        const ScanTime t = timeScan(root, tasks);
        fmt::print("lf_scanLiveryFolders at {} tasks: wall {:.3f} s, cpu {:.3f} s, {:.2f}x B0\n", tasks,
                   t.wall, t.cpu, t.wall / cat);
        if (tasks == hardware) {
            atHardware = t.wall;
        }
    }
    fmt::print("scan at {} tasks vs B0: {:.2f}x (target <= 3x)\n", hardware, atHardware / cat);
    walkerBenchmark(root);
}

// The walker alone: every task answers at once.
void walkerBenchmark(const fs::path& root) {
    maxScanTasks.store(static_cast<int>(std::max(1U, std::thread::hardware_concurrency())));
    setScanFileReaderForTests([](int, const fs::path&, bool) { return std::list<ScanCandidate>{}; });
    const double userStart = userSeconds();
    const auto start = Clock::now();
    lf_scanLiveryFolders({root});
    const double wallPerFile = seconds(Clock::now() - start) / kFiles * 1e6;
    const double ownPerFile = (userSeconds() - userStart) / kFiles * 1e6;
    setScanFileReaderForTests(nullptr);
    fmt::print("the walk with empty tasks: {:.2f} us per file wall, B0's find alone walks the same tree\n",
               wallPerFile);
    fmt::print("the walker's own (user) time: {:.2f} us per file (target <= 5 us)\n", ownPerFile);
}

void keyLineBenchmark() {
    std::mt19937 engine(5);
    const std::vector<std::string> shapes{"title=B738 KLM {}",
                                          "  atc_id = PH-{} ",
                                          "atc_parking_codes=KLM, {}",
                                          "texture={}",
                                          "model=",
                                          "[fltsim.{}]",
                                          "// atc_id={}",
                                          "ui_type={}"};
    std::string buffer;
    for (int k = 0; k < 1'000'000; ++k) {
        buffer += fmt::format(fmt::runtime(shapes[engine() % shapes.size()]), engine() % 100000);
        buffer += '\n';
    }
    auto start = Clock::now();
    std::size_t count = 0;
    for (const char* at = buffer.data(); const char* end = static_cast<const char*>(
                                             std::memchr(at, '\n', buffer.data() + buffer.size() - at));
         at = end + 1) {
        count += static_cast<std::size_t>(end - at) & 1U;
    }
    const double split = seconds(Clock::now() - start);
    std::vector<std::string_view> lines;
    for (std::size_t at = 0, end; (end = buffer.find('\n', at)) != std::string::npos; at = end + 1) {
        lines.emplace_back(buffer.data() + at, end - at);
    }
    start = Clock::now();
    std::string value;
    for (const std::string_view line : lines) {
        count += static_cast<std::size_t>(lf_readTitle(line, value)) + lf_readAtcId(line, value) +
                 lf_readAtcParkingCodes(line, value) + lf_readTexture(line, value) +
                 lf_parseFltSimHeader(line).size();
    }
    const double readers = seconds(Clock::now() - start);
    const std::regex title("\\s*(title)\\s*=\\s*(.*\\S)\\s*", std::regex::icase);
    start = Clock::now();
    for (const std::string_view line : lines) {
        count += std::regex_match(line.begin(), line.end(), title);
    }
    const double regex = seconds(Clock::now() - start);
    fmt::print("key-line readers over {} lines: {:.3f} s, memchr split {:.4f} s: {:.1f}x (target <= 20x); "
               "std::regex, title alone: {:.3f} s ({})\n",
               lines.size(), readers, split, readers / split, regex, count % 2);
}

} // namespace

// "walk" as the argument runs the walker's measurement alone, for a profiler.
int main(int argc, char** argv) {
    const bool walkOnly = argc > 1 && std::string(argv[1]) == "walk";
    std::vector<std::string> types;
    std::vector<std::string> airlines;
    gen::readDbaseNames(fs::path(CORVANE_SOURCE_DIR) / "data/input/dbase.xml", types, airlines);
    const fs::path root = cachedTree(types, airlines);
    installTables(types, airlines);
    const fs::path work = fs::temp_directory_path() / fmt::format("livery_scan_bench.{}", ::getpid());
    fs::create_directories(work);
    fs::current_path(work); // the output folder of the scan
    LIG_PRIORITIZE.setValue(false);
    if (walkOnly) {
        walkerBenchmark(root);
    } else {
        scanBenchmark(root);
        keyLineBenchmark();
    }
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(work);
    return 0;
}
