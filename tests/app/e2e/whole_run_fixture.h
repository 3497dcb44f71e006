#pragma once
// A whole demo run judged from outside: the project's own scripts stage the program into an empty folder
// and run it against both stand-ins; what the run left behind is read back with the test's own readers.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "simstandin/record.h"
#include "support/child_process.h"

namespace zeph::test {

struct RtRecordLine {
    std::int64_t wallMs = 0;
    std::string dir; // "in" from the program, "out" to it
    int conn = 0;
    std::string line;
    bool eof = false;
};

struct GeoPoint {
    double lat = 0; // degrees
    double lon = 0;
};

struct DemoRun {
    std::filesystem::path dest;
    std::filesystem::path stage;
    ChildResult staging;
    ChildResult demo;
    std::vector<RtRecordLine> rt;
    standin::Record sim;
    std::vector<std::string> log;
    nlohmann::json result;     // demo/result.json
    nlohmann::json expect;     // the scenario's expect file
    std::int64_t t0WallMs = 0; // the first position line RealTraffic received

    // Seconds of the scene (t = 0 at the first position line) of a wall-clock stamp.
    double sceneSeconds(std::int64_t wallMs) const { return static_cast<double>(wallMs - t0WallMs) / 1000.0; }
    const nlohmann::json& aircraft(int n) const;
    // The run's positions of the objects whose tail is the callsign, in frame order.
    std::vector<standin::Stamped<standin::RecordedPosition>> samplesOf(const std::string& tail) const;
    std::vector<standin::Stamped<standin::CreationRecord>> creationsOf(const std::string& tail) const;
    // The log lines that contain the text.
    std::vector<std::string> logLinesWith(const std::string& text) const;
};

std::filesystem::path projectDir();
std::filesystem::path buildDir();

// Stages into dest (which must exist) with scripts/stage.sh; true when it exited 0.
bool stageInto(DemoRun& run, const std::filesystem::path& dest);
// demo.sh --headless --scenario S --duration D on the staged folder, then reads what the run left. A file the
// run should have left and did not throws std::runtime_error naming it and what demo.sh said.
void runDemo(DemoRun& run, const std::string& scenario, int durationSeconds);
// Reads what a finished run left in run.stage.
void loadRun(DemoRun& run, const std::string& scenario);
// Empty when the program planned its parked aircraft on the scene's clock; else why not. Until its first
// traffic report the program's traffic clock is the PC's, so a scene whose traffic reached it only after its
// plan (a slow machine) parks what the PC's weekday and half hour call for.
std::string planClockFault(const DemoRun& run);

// The demo started in the background, its output in dest/demo.out and dest/demo.err.
class DemoProcess {
public:
    DemoProcess(const std::filesystem::path& dest, const std::vector<std::string>& args);
    ~DemoProcess();
    DemoProcess(const DemoProcess&) = delete;
    DemoProcess& operator=(const DemoProcess&) = delete;
    void terminate() const;
    int wait(); // its exit status, or 128 + signal
private:
    int pid_ = -1;
};

// Waits up to the given seconds for a line holding the text in the file; true when it came.
bool waitForLine(const std::filesystem::path& file, const std::string& text, double seconds);

// A log line that tells of a fault: after an optional "==> ", one starting "! " or holding one of the words
// that the program's fault messages carry.
bool isFaultLine(const std::string& line);
std::vector<std::string> splitFields(const std::string& line, char separator = ',');
std::size_t countOf(const std::string& text, const std::string& part);

// Great-circle geometry on a sphere of the mean earth radius.
double metresBetween(GeoPoint a, GeoPoint b);
double bearingDeg(GeoPoint from, GeoPoint to); // 0..360
// Distance from p to the segment a-b: the cross-track distance where p lies beside it, else to the nearer
// end.
double metresToSegment(GeoPoint p, GeoPoint a, GeoPoint b);
double metresToPolyline(GeoPoint p, const std::vector<GeoPoint>& line);
// The point at the distance along the bearing.
GeoPoint pointAt(GeoPoint from, double bearing, double metres);
// The smallest angle between two headings, 0..180.
double headingDifference(double a, double b);

} // namespace zeph::test
