#pragma once
// The small world that every connection shares: the user aircraft, AI objects, injected traffic, the ground,
// the clock, and the journal of what the clients did (bounded rings, so long runs stay small).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "simstandin/wire.h"

namespace zeph::standin {

enum class ObjectKind { User, Ai, Traffic };

// Bits of the light mask, as the simulator reports them.
namespace light {
inline constexpr std::uint32_t kNav = 0x1;
inline constexpr std::uint32_t kBeacon = 0x2;
inline constexpr std::uint32_t kLanding = 0x4;
inline constexpr std::uint32_t kTaxi = 0x8;
inline constexpr std::uint32_t kStrobe = 0x10;
inline constexpr std::uint32_t kLogo = 0x100;
inline constexpr std::uint32_t kCabin = 0x200;
inline constexpr std::uint32_t kAll = 0x3FF;
} // namespace light

struct SimObject {
    std::uint32_t id = 0;
    ObjectKind kind = ObjectKind::User;
    std::uint32_t owner = 0; // the connection that created an AI object
    std::string title;
    std::string atcModel;
    std::string atcId;
    double lat = 0.0;           // degrees
    double lon = 0.0;           // degrees
    double alt = 0.0;           // feet
    double pitch = 0.0;         // radians
    double bank = 0.0;          // radians
    double heading = 0.0;       // radians, true
    double verticalSpeed = 0.0; // feet per second
    double airspeed = 0.0;      // knots, true
    double groundSpeed = 0.0;   // knots
    bool onGround = true;
    std::optional<double> agl; // injected traffic may carry its own height above ground
    std::uint32_t lightMask = 0;
    bool freezeLatLon = false;
    bool freezeAltitude = false;
    bool freezeAttitude = false;
    bool released = false;
    std::uint32_t flaps = 0;    // last FLAPS_SET value
    std::uint32_t gear = 1;     // last GEAR_SET value
    std::uint32_t spoilers = 0; // last SPOILERS_SET value
    std::uint32_t throttle = 0; // last THROTTLE_SET value
    double spoilersPercent = 0.0;
    double throttle1Percent = 0.0;
    double throttle2Percent = 0.0;
    bool engineRunning = false;
    double staticCgFeet = 8.5;
    double staticPitchRad = 0.0;
};

struct PositionSample {
    std::uint64_t frame = 0;
    std::int64_t clockMs = 0;
    double lat = 0.0;
    double lon = 0.0;
    double pitch = 0.0;
    double bank = 0.0;
    double heading = 0.0;
    double alt = 0.0;
    double verticalSpeed = 0.0;
    double airspeed = 0.0;
};

struct ClientEventRecord {
    std::uint64_t frame = 0;
    std::uint32_t connection = 0;
    std::uint32_t objectId = 0;
    std::string eventName;
    std::uint32_t data = 0;
    std::uint32_t groupId = 0;
    std::uint32_t flags = 0;
};

struct CreationRecord {
    std::uint32_t connection = 0;
    std::uint32_t sendId = 0;
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0; // 0 when refused or not yet made
    std::string title;
    std::string tailNumber;
    InitPosition init;
    bool refused = false;
    std::uint32_t code = 0; // the exception code of a refusal
};

struct RemovalRecord {
    std::uint32_t objectId = 0;
    std::uint32_t connection = 0; // who asked; 0 when the stand-in itself removed it
    std::string reason;           // "request", "disconnect", "traffic"
};

struct FlightPlanRecord {
    std::uint32_t connection = 0;
    std::uint32_t sendId = 0;
    std::uint32_t objectId = 0;
    std::string path;
    bool accepted = false;
    std::string error;
    std::string type; // "IFR" or "VFR"
    std::string departure;
    std::string destination;
};

struct Violation {
    std::uint32_t connection = 0;
    std::uint32_t sendId = 0;
    std::string text;
};

struct PacketRecord {
    std::uint32_t connection = 0;
    std::uint32_t sendId = 0;
    std::uint32_t id = 0;
    std::uint32_t size = 0;
    std::uint32_t version = 0;
    PacketFields fields;
};

// A ring of at most `limit` entries that counts what it dropped.
template <typename T> struct BoundedLog {
    std::deque<T> entries;
    std::size_t limit = 0;
    std::uint64_t dropped = 0;
    std::function<void(const T&)> observer; // sees every entry, kept or not

    void push(T entry) {
        if (observer) {
            observer(entry);
        }
        if (limit == 0) {
            ++dropped;
            return;
        }
        if (entries.size() >= limit) {
            entries.pop_front();
            ++dropped;
        }
        entries.push_back(std::move(entry));
    }
};

// The clock of the simulation: a manual clock only moves when told; the wall clock runs with an offset.
struct WorldClock {
    bool manual = true;
    std::int64_t manualMs = 1704070800000; // 2024-01-01 01:00:00 UTC
    std::int64_t offsetMs = 0;

    std::int64_t nowMs() const;
    void set(std::int64_t utcMs);
};

// Zulu time of day, day of year (1 = 1 January) and year of a UTC time in milliseconds.
struct ZuluParts {
    std::int64_t secondsOfDay = 0;
    std::int64_t dayOfYear = 0;
    std::int64_t year = 0;
};
ZuluParts zuluOf(std::int64_t utcMs);

// What SIM ON GROUND reports: an AI object is on the ground while its altitude is at most its static CG
// above the ground, with a foot to spare for rounding; the user aircraft and traffic keep their own state.
bool reportsOnGround(const SimObject& object, double ground);

// Great-circle distance in metres between two points in degrees.
double distanceMetres(double lat1, double lon1, double lat2, double lon2);

struct WorldLimits {
    std::uint32_t userObjectId = 1;
    std::uint32_t aiObjectBase = 100;
    std::size_t logLimit = 100000;
    std::size_t positionHistory = 256;
};

class World {
public:
    explicit World(const WorldLimits& limits);

    SimObject& user() { return objects_.at(userId_); }
    const SimObject& user() const { return objects_.at(userId_); }
    std::uint32_t userId() const { return userId_; }
    // Object 0 stands for the user aircraft.
    SimObject* find(std::uint32_t id);
    const std::map<std::uint32_t, SimObject>& objects() const { return objects_; }

    SimObject& addAi(std::uint32_t owner, const CreateAircraftPacket& create);
    SimObject& addTraffic(SimObject traffic);
    bool remove(std::uint32_t id, std::uint32_t byConnection, const std::string& reason);
    std::vector<std::uint32_t> aiOwnedBy(std::uint32_t connection) const;
    // Aircraft within `radius` metres of the user, the user first, then by id.
    std::vector<std::uint32_t> aircraftWithin(double radius) const;

    void recordPosition(const SimObject& object);
    const BoundedLog<PositionSample>* positions(std::uint32_t id) const;

    double ground = 0.0; // feet, the same everywhere
    WorldClock clock;
    std::uint64_t frame = 0;
    bool simRunning = true;
    float frameRate = 30.0F;
    std::vector<std::string> refusedTitles;
    std::optional<std::vector<std::string>> installedTitles;
    std::map<std::string, std::pair<double, double>> staticCg; // title -> (feet, radians)

    BoundedLog<PacketRecord> packets;
    std::map<std::uint32_t, std::uint64_t> packetCounts; // by packet id, never dropped
    BoundedLog<Violation> violations;
    BoundedLog<ClientEventRecord> clientEvents;
    BoundedLog<CreationRecord> created;
    BoundedLog<RemovalRecord> removed;
    BoundedLog<FlightPlanRecord> flightPlans;

    bool titleRefused(const std::string& title) const;

private:
    std::uint32_t userId_;
    std::uint32_t nextAiId_;
    std::uint32_t nextTrafficId_;
    std::size_t positionHistory_;
    std::map<std::uint32_t, SimObject> objects_;
    std::map<std::uint32_t, BoundedLog<PositionSample>> positions_;
};

} // namespace zeph::standin
