#pragma once
// The stand-in's record: one JSON line per journal entry, per sampled position and per statistics round,
// each stamped with the wall clock and the stand-in's own UTC, and one closing line when recording ends
// cleanly. The same JSON forms serve the control channel's queries.
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "simstandin/standin.h"
#include "simstandin/world.h"

namespace zeph::standin {

struct RecordStamp {
    std::int64_t wallMs = 0; // milliseconds since 1970 by the machine's clock
    std::int64_t utcMs = 0;  // the stand-in's simulated UTC
};

// One object's state as sampled at a frame.
struct RecordedPosition {
    std::uint64_t frame = 0;
    std::uint32_t objectId = 0;
    std::string tail;
    double lat = 0.0; // degrees
    double lon = 0.0;
    double alt = 0.0; // feet
    double headingDeg = 0.0;
    double pitchDeg = 0.0;
    double bankDeg = 0.0;
    double groundSpeed = 0.0; // knots
    bool onGround = false;    // as SIM ON GROUND reports it
};

struct RecordedStats {
    std::uint64_t frame = 0;
    std::uint64_t objects = 0;     // AI objects alive
    std::uint64_t connections = 0; // open connections
    std::uint64_t packets = 0;     // packets handled since the start
    std::uint64_t violations = 0;
};

template <typename T> struct Stamped {
    RecordStamp at;
    T entry;
};

struct Record {
    std::vector<Stamped<CreationRecord>> created; // refused creations too (refused, code)
    std::vector<Stamped<RemovalRecord>> removed;
    std::vector<Stamped<ClientEventRecord>> events;
    std::vector<Stamped<FlightPlanRecord>> flightPlans;
    std::vector<Stamped<Violation>> violations;
    std::vector<Stamped<ConnectionInfo>> opened;
    std::vector<Stamped<ConnectionInfo>> closed;
    std::vector<Stamped<RecordedPosition>> positions;
    std::vector<Stamped<RecordedStats>> stats;
    bool complete = false; // the closing line was read
};

class RecordError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The JSON forms; texts are bytes, each the character of the same number. Those without texts to convert
// keep their members' names.
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(RemovalRecord, objectId, connection, reason)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(ConnectionInfo, id, transport, open, opened, version, packets,
                                   bytesWritten, writes)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(RecordedStats, frame, objects, connections, packets, violations)
void to_json(nlohmann::json& j, const CreationRecord& c);
void to_json(nlohmann::json& j, const ClientEventRecord& e);
void to_json(nlohmann::json& j, const FlightPlanRecord& f);
void to_json(nlohmann::json& j, const Violation& v);
void to_json(nlohmann::json& j, const RecordedPosition& p);

// One record line (without its line feed) of an entry, its "kind" naming what it holds.
std::string recordLine(const RecordStamp& at, const CreationRecord& c);
std::string recordLine(const RecordStamp& at, const RemovalRecord& r);
std::string recordLine(const RecordStamp& at, const ClientEventRecord& e);
std::string recordLine(const RecordStamp& at, const FlightPlanRecord& f);
std::string recordLine(const RecordStamp& at, const Violation& v);
// "opened" or "closed" by c.open.
std::string recordLine(const RecordStamp& at, const ConnectionInfo& c);
std::string recordLine(const RecordStamp& at, const RecordedPosition& p);
std::string recordLine(const RecordStamp& at, const RecordedStats& s);
std::string closingRecordLine(const RecordStamp& at);

// Reads a whole record. A last line without its line feed (a run cut short) is left out; any other line that
// is not a record line throws RecordError "record line N: ...", as does a file that cannot be read.
Record readRecord(const std::filesystem::path& file);
Record parseRecord(const std::string& text);

} // namespace zeph::standin
