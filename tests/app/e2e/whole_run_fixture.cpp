#include "app/e2e/whole_run_fixture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace zeph::test {

namespace {

constexpr double earthRadius = 6371008.8;
constexpr double toRad = std::numbers::pi / 180.0;

void requireFile(const fs::path& file) {
    if (!fs::is_regular_file(file)) {
        throw std::runtime_error("the run left no " + file.string());
    }
}

std::vector<RtRecordLine> readRtRecord(const fs::path& file) {
    requireFile(file);
    std::vector<RtRecordLine> lines;
    for (const std::string& text : readFileLines(file)) {
        const json j = json::parse(text);
        lines.push_back({j.at("wall_ms").get<std::int64_t>(), j.at("dir").get<std::string>(),
                         j.at("conn").get<int>(), j.at("line").get<std::string>(), j.value("eof", false)});
    }
    return lines;
}

json readJsonFile(const fs::path& file) {
    requireFile(file);
    return json::parse(readFileBytes(file));
}

int waitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

} // namespace

fs::path projectDir() { return CORVANE_SOURCE_DIR; }
fs::path buildDir() { return CORVANE_BUILD_DIR; }

const json& DemoRun::aircraft(int n) const {
    for (const json& one : expect.at("aircraft")) {
        if (one.at("n").get<int>() == n) {
            return one;
        }
    }
    throw std::out_of_range("no aircraft #" + std::to_string(n) + " in the expect file");
}

namespace {
// The entries of a record whose tail, as `tailOf` reads it, is `tail`.
template <typename T, typename TailOf>
std::vector<standin::Stamped<T>> withTail(const std::vector<standin::Stamped<T>>& all,
                                          const std::string& tail, TailOf tailOf) {
    std::vector<standin::Stamped<T>> found;
    std::copy_if(all.begin(), all.end(), std::back_inserter(found),
                 [&](const standin::Stamped<T>& one) { return tailOf(one.entry) == tail; });
    return found;
}
} // namespace

std::vector<standin::Stamped<standin::RecordedPosition>> DemoRun::samplesOf(const std::string& tail) const {
    return withTail(sim.positions, tail, [](const standin::RecordedPosition& p) { return p.tail; });
}

std::vector<standin::Stamped<standin::CreationRecord>> DemoRun::creationsOf(const std::string& tail) const {
    return withTail(sim.created, tail, [](const standin::CreationRecord& c) { return c.tailNumber; });
}

std::vector<std::string> DemoRun::logLinesWith(const std::string& text) const {
    std::vector<std::string> found;
    for (const std::string& line : log) {
        if (line.find(text) != std::string::npos) {
            found.push_back(line);
        }
    }
    return found;
}

bool stageInto(DemoRun& run, const fs::path& dest) {
    run.dest = dest;
    run.stage = dest / "stage";
    run.staging = runChild("/bin/bash",
                           {(projectDir() / "scripts" / "stage.sh").string(), "--build", buildDir().string(),
                            "--into", dest.string()},
                           dest);
    return run.staging.exitCode == 0;
}

void runDemo(DemoRun& run, const std::string& scenario, int durationSeconds) {
    run.demo = runChild("/bin/bash",
                        {(projectDir() / "scripts" / "demo.sh").string(), "--build", buildDir().string(),
                         "--in", run.dest.string(), "--headless", "--scenario", scenario, "--duration",
                         std::to_string(durationSeconds)},
                        run.dest);
    try {
        loadRun(run, scenario);
    } catch (const std::exception& e) {
        // What demo.sh said names the cause: a port in use, a stand-in that did not come up.
        throw std::runtime_error(std::string(e.what()) + "; demo.sh exited " +
                                 std::to_string(run.demo.exitCode) + ": " + run.demo.err);
    }
}

void loadRun(DemoRun& run, const std::string& scenario) {
    const fs::path demo = run.stage / "demo";
    run.rt = readRtRecord(demo / "rt.jsonl");
    requireFile(demo / "sim.jsonl");
    run.sim = standin::readRecord(demo / "sim.jsonl");
    requireFile(run.stage / "Log.txt");
    run.log = readFileLines(run.stage / "Log.txt");
    run.result = readJsonFile(demo / "result.json");
    run.expect = readJsonFile(demo / (scenario == "short" ? "short-expect.json" : "expect.json"));
    for (const RtRecordLine& line : run.rt) {
        if (line.dir == "in" && line.line.starts_with("Qs121=")) {
            run.t0WallMs = line.wallMs;
            break;
        }
    }
}

namespace {
// Monday 1 to Sunday 7 of a UTC time; 1 Jan 1970 was a Thursday.
int weekdayOf(double utcSeconds) {
    return static_cast<int>((static_cast<std::int64_t>(std::floor(utcSeconds / 86400.0)) + 3) % 7) + 1;
}
} // namespace

std::string planClockFault(const DemoRun& run) {
    constexpr std::size_t kTimeField = 14;
    const auto report = std::find_if(run.rt.begin(), run.rt.end(), [](const RtRecordLine& line) {
        return line.dir == "out" && line.line.starts_with("T,");
    });
    const auto plan = std::find_if(run.log.begin(), run.log.end(), [](const std::string& line) {
        return line.find("(utc) It is day ") != std::string::npos;
    });
    if (report == run.rt.end() || plan == run.log.end()) {
        return "the scene sent no traffic or the program made no plan";
    }
    const std::string sceneDay =
        "It is day " + std::to_string(weekdayOf(std::stod(splitFields(report->line).at(kTimeField))));
    if (plan->find(sceneDay) == std::string::npos) {
        return "the program planned its parked aircraft before the scene's traffic reached it (\"" + *plan +
               "\", the scene's clock says \"" + sceneDay + "\")";
    }
    return {};
}

DemoProcess::DemoProcess(const fs::path& dest, const std::vector<std::string>& args) {
    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::runtime_error("DemoProcess: fork failed");
    }
    if (pid_ == 0) {
        const int out = ::open((dest / "demo.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open((dest / "demo.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || ::chdir(dest.c_str()) != 0) {
            ::_exit(126);
        }
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::string script = (projectDir() / "scripts" / "demo.sh").string();
        std::vector<std::string> copies(args);
        std::vector<char*> argv{const_cast<char*>("/bin/bash"), script.data()};
        for (std::string& arg : copies) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv("/bin/bash", argv.data());
        ::_exit(127);
    }
}

DemoProcess::~DemoProcess() {
    if (pid_ > 0) {
        terminate();
        wait();
    }
}

void DemoProcess::terminate() const {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
    }
}

int DemoProcess::wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return waitStatus(status);
}

bool waitForLine(const fs::path& file, const std::string& text, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        std::ifstream in(file);
        std::string line;
        while (std::getline(in, line)) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

bool isFaultLine(const std::string& line) {
    static const std::vector<std::string> words = {
        "xception",       "Error ",      "rror:",          " fails",    "failed",
        "does not exist", "not found",   "Missing ",       "Warning",   "empty sz?",
        "stream empty ?", "objectid=0?", "error in curve", "could not", "No traffic in this region?"};
    const std::string text = line.starts_with("==> ") ? line.substr(4) : line;
    return text.starts_with("! ") || std::any_of(words.begin(), words.end(), [&](const std::string& w) {
               return text.find(w) != text.npos;
           });
}

std::vector<std::string> splitFields(const std::string& line, char separator) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == separator) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

double metresBetween(GeoPoint a, GeoPoint b) {
    const double dLat = (b.lat - a.lat) * toRad;
    const double dLon = (b.lon - a.lon) * toRad;
    const double h = std::pow(std::sin(dLat / 2), 2) +
                     std::cos(a.lat * toRad) * std::cos(b.lat * toRad) * std::pow(std::sin(dLon / 2), 2);
    return 2 * earthRadius * std::asin(std::min(1.0, std::sqrt(h)));
}

double bearingDeg(GeoPoint from, GeoPoint to) {
    const double lat1 = from.lat * toRad;
    const double lat2 = to.lat * toRad;
    const double dLon = (to.lon - from.lon) * toRad;
    const double y = std::sin(dLon) * std::cos(lat2);
    const double x = std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dLon);
    return std::fmod(std::atan2(y, x) / toRad + 360.0, 360.0);
}

double metresToSegment(GeoPoint p, GeoPoint a, GeoPoint b) {
    const double toP = metresBetween(a, p);
    const double length = metresBetween(a, b);
    if (length < 0.01) {
        return toP;
    }
    const double angle = (bearingDeg(a, p) - bearingDeg(a, b)) * toRad;
    const double crossTrack = std::asin(std::sin(toP / earthRadius) * std::sin(angle)) * earthRadius;
    const double alongTrack =
        std::acos(std::clamp(std::cos(toP / earthRadius) / std::cos(crossTrack / earthRadius), -1.0, 1.0)) *
        earthRadius * (std::cos(angle) < 0 ? -1.0 : 1.0);
    if (alongTrack < 0) {
        return toP;
    }
    if (alongTrack > length) {
        return metresBetween(b, p);
    }
    return std::abs(crossTrack);
}

double metresToPolyline(GeoPoint p, const std::vector<GeoPoint>& line) {
    double best = line.empty() ? INFINITY : metresBetween(p, line.front());
    for (std::size_t k = 1; k < line.size(); ++k) {
        best = std::min(best, metresToSegment(p, line[k - 1], line[k]));
    }
    return best;
}

GeoPoint pointAt(GeoPoint from, double bearing, double metres) {
    const double d = metres / earthRadius;
    const double lat1 = from.lat * toRad;
    const double b = bearing * toRad;
    const double lat2 = std::asin(std::sin(lat1) * std::cos(d) + std::cos(lat1) * std::sin(d) * std::cos(b));
    const double lon2 = from.lon * toRad + std::atan2(std::sin(b) * std::sin(d) * std::cos(lat1),
                                                      std::cos(d) - std::sin(lat1) * std::sin(lat2));
    return {lat2 / toRad, lon2 / toRad};
}

double headingDifference(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

} // namespace zeph::test
