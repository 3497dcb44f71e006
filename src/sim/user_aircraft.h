#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

// The user's own aircraft as the simulator link learns it.
//
// Locks: userDataMutex guards userAcPosition, userOnGround, userOnGroundKnown, userAcTitle and
// userHalfWingSpan; it nests only inside simConnectMutex. Only the traffic thread writes userAcPosition
// (FakeSimLink and tests only before the main loop starts), always under the lock; it reads its own copy
// without it, every other thread under it. simUserData is guarded by simConnectMutex.

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

extern UserAcPosition simUserData;     // the last reply; simConnectMutex
extern UserAcPosition userAcPosition;  // the program's copy; userDataMutex
extern std::uint8_t userOnGround;      // 1 on the ground; userDataMutex
extern std::uint8_t userOnGroundKnown; // the on-ground state has been reported in this run; userDataMutex
extern std::mutex userDataMutex;
extern std::atomic<std::uint32_t> userAcObjectId; // 2 until the first user record
extern std::string userAcTitle;                   // the simulator's title; userDataMutex
extern std::optional<double> userHalfWingSpan;    // nautical miles; userDataMutex
extern std::atomic<std::int64_t> simUtcSeconds;   // the simulator's UTC time, seconds since 1970

// What other threads read of the user aircraft, taken together under userDataMutex.
struct UserAircraftSnapshot {
    UserAcPosition position;
    bool onGround = false;
    bool onGroundKnown = false;
    std::optional<double> halfWingSpan;
};
UserAircraftSnapshot userAircraftSnapshot();

// A copy of simUserData, taken under simConnectMutex. Minimal stand-in until the simulator link lands: no
// request is made.
UserAcPosition gf_getUserAcPosition();

// Waits until a simulation runs and the user aircraft's position and on-ground state are known; false when
// the run stops meanwhile. Minimal stand-in until the simulator link lands: no requests.
bool lf_waitForUserAircraft();

// The user aircraft's state back to its start before a restarted run.
void gf_resetUserAircraft();

} // namespace zeph
