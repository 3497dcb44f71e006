#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/geodesy.h"

// The user's own aircraft as the simulator link learns it.
//
// Locks: userDataMutex guards simUserData, the previous position, userAcPosition, userOnGround,
// userOnGroundKnown, userAcTitle, userAcStand and userHalfWingSpan. The client thread's reply handlers write
// under it; the client thread reads its own writes (simUserData, the previous position) without it. It nests
// only inside simConnectMutex (gf_getUserAcPosition), never the other way round. Only the traffic thread
// writes userAcPosition after the wait (tests only before the main loop starts), always under
// the lock; it reads its own copy without it, every other thread under it. userAcObjectId and userAcKind are
// atomics.

namespace zeph {

struct ScObjectData;

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

// Asks the simulator once more for the user record (request 109), unless a request has failed in this run,
// and returns a copy of the last reply's record: the answer to this request comes later. A failed request
// is logged and ends the run as SIMCONNECT ERROR. Any thread but the client thread.
UserAcPosition gf_getUserAcPosition();

// Asks once for the user aircraft's title (106) and model (107); a failed request is logged and ends the
// run as SIMCONNECT ERROR, the second is made either way.
void gf_requestUserAcTitleModel();

// Waits until a simulation runs, starts the one-second request (108), and polls the user record every
// 500 ms until the position and the on-ground state are known; then asks for the title and model. False when
// the run stops meanwhile.
bool lf_waitForUserAircraft();

// Replies about the user aircraft, on the client thread: the title (request 106), the model (107), the
// on-ground state (108) and the position record (109). Records too short or with non-finite numbers are
// logged and dropped. The model handler throws UserErrorException 71 for an empty model and 73 for any
// other failure, which ends the connection.
void lf_onUserAcTitle(const ScObjectData& reply);
void lf_onUserAcModel(const ScObjectData& reply);
void lf_onUserOnGround(const ScObjectData& reply);
void lf_onUserPosition(const ScObjectData& reply);

// Remembers the stand at which the user aircraft stands, at rest, as the reserved stand of the current park
// airport and writes my_park_airports.txt. On the client thread: on a new flight and when it ends.
void lf_checkUserAirport();

// The title as kept: at most 48 bytes, cut back to the start of a UTF-8 sequence the cut would split.
std::string userTitleOf(std::string_view title);

// Days since 1970-01-01 of the zulu day of year in a zulu year (its low 16 bits count).
std::int64_t daysSince1970(std::int64_t zuluYear, std::int64_t dayOfYear);

// The user aircraft's state back to its start before a restarted run.
void gf_resetUserAircraft();

} // namespace zeph
