#pragma once
// The demo scene: who flies where and when over an airport's stands, in metres of a local frame, and what
// the simulator should show for it. Read from a JSON scene and the airport file whose stands it names.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "gen/demo/local_frame.h"

namespace zeph::gen {

// A scene that cannot be used; what() is "scene: {callsign}: {what}", or names the file for a file fault.
class SceneError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Stand {
    LocalPoint at;
    double headingDeg = 0;
    double radiusMetres = 0;
};

enum class LegKind { Parked, Push, Taxi, Roll, Air, Circle };

struct Leg {
    LegKind kind = LegKind::Parked;
    double from = 0;
    double to = 0;
    std::vector<LocalPoint> path;                          // one point when parked; the centre of a circle
    std::vector<double> alts;                              // air: feet at each path point
    double headingDeg = 0;                                 // parked
    std::optional<std::pair<double, double>> pushHeadings; // push: true heading at its start and end
    bool trueHeading = true;                               // false: no true heading is reported
    bool track = true;                                     // false: the track field stays empty
    double speedFromKt = 0;                                // roll
    double speedToKt = 0;
    double radiusMetres = 0; // circle
    double altFt = 0;
    double speedKt = 0;
    double phaseDeg = 0;
};

struct SceneAircraft {
    int n = 0;
    std::string callsign;
    std::string type;
    std::string reg;
    std::uint32_t hexid = 0;
    std::string from;
    std::string to;
    std::string category;
    std::vector<Leg> legs;
    std::optional<std::vector<Leg>> shortLegs; // none: not in the short scene
    nlohmann::ordered_json expect;             // role, title, stand, windows...
};

// A line of an aircraft sent once with one field replaced, to provoke the receiver.
struct FaultLine {
    double at = 0;
    std::string like; // callsign of the aircraft whose report it copies
    std::size_t field = 0;
    std::string text;
};

struct Scene {
    LocalFrame frame;
    double groundFt = 0;
    std::map<std::string, Stand> stands;
    std::vector<SceneAircraft> aircraft;
    std::vector<FaultLine> faults;
    nlohmann::ordered_json user;
    nlohmann::ordered_json world; // clock and refused titles, as the scene gives them
    nlohmann::ordered_json statics;
    nlohmann::ordered_json logLines;
    double endAfter = 0;
    double shortEndAfter = 0;
};

// The stands of an airport file: id to position in the frame whose origin is the stand named originId.
std::map<std::string, Stand> readStands(const std::filesystem::path& airportFile, const std::string& originId,
                                        double xBearingDeg, LocalFrame& frame);

// Reads the scene; throws SceneError for a fault of the scene and for a file that cannot be read.
Scene readScene(const std::filesystem::path& airportFile, const std::filesystem::path& sceneFile);
Scene parseScene(const std::filesystem::path& airportFile, const nlohmann::json& scene);

} // namespace zeph::gen
