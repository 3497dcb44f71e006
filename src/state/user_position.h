#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "core/geodesy.h"

// The user's own aircraft as the simulator link learns it, read by the airports, the RealTraffic server and
// the traffic engine.
//
// Locks: userDataMutex guards simUserData, the previous position, userAcPosition, userOnGround,
// userOnGroundKnown, userAcTitle, userAcStand and userHalfWingSpan. The client thread's reply handlers write
// under it; the client thread reads its own writes (simUserData, the previous position) without it. It nests
// only inside simConnectMutex (gf_getUserAcPosition), never the other way round. Only the traffic thread
// writes userAcPosition after the wait (tests only before the main loop starts), always under
// the lock; it reads its own copy without it, every other thread under it. userAcObjectId and userAcKind are
// atomics.

namespace zeph {

// The simulator's user record, 96 bytes, in the order of its data definition.
struct UserAcPosition {
    double latitude = 0.0; // degrees; 0, 0 while unknown
    double longitude = 0.0;
    double pitch = 0.0; // radians
    double bank = 0.0;
    double heading = 0.0;  // radians, true
    double altitude = 0.0; // feet
    double altitudeAboveGround = 0.0;
    double groundVelocity = 0.0; // knots
    std::int64_t zuluTime = 0;   // seconds of the day
    std::int64_t zuluDayOfYear = 0;
    std::int64_t zuluYear = 0;
    std::int64_t lightStates = 0;
};
static_assert(sizeof(UserAcPosition) == 96);

// A position counts as known when its latitude or longitude is beyond 0.0001 in magnitude.
bool isKnownPosition(const UserAcPosition& position);

extern UserAcPosition simUserData;     // the last reply; userDataMutex
extern UserAcPosition userAcPosition;  // the program's copy; userDataMutex
extern std::uint8_t userOnGround;      // 1 on the ground; userDataMutex
extern std::uint8_t userOnGroundKnown; // the on-ground state has been reported in this run; userDataMutex
extern std::mutex userDataMutex;
extern std::atomic<std::uint32_t> userAcObjectId; // 2 until the first user record
extern std::string userAcTitle;                   // the simulator's title; userDataMutex
extern std::optional<double> userHalfWingSpan;    // nautical miles; userDataMutex
extern GeoPoint previousUserPosition;             // of the last accepted record; userDataMutex
extern std::string userAcStand;                 // the stand within 55 m of the user, or empty; userDataMutex
extern std::atomic<std::uint32_t> userAcKind;   // the user aircraft's AcKind
extern std::atomic<std::int64_t> simUtcSeconds; // the simulator's UTC time, seconds since 1970

// What other threads read of the user aircraft, taken together under userDataMutex.
struct UserAircraftSnapshot {
    UserAcPosition position;
    bool onGround = false;
    bool onGroundKnown = false;
    std::optional<double> halfWingSpan;
};
UserAircraftSnapshot userAircraftSnapshot();

// The user aircraft's state back to its start before a restarted run.
void gf_resetUserAircraft();

} // namespace zeph
