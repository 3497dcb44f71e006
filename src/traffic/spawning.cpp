#include "traffic/spawning.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/livery_matcher.h"
#include "aircraft/livery_memory.h"
#include "aircraft/no_match_list.h"
#include "aircraft/regcodes.h"
#include "core/clock.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "model/flight_texts.h"
#include "settings/parameter_table.h"
#include "sim/flight_plans.h"
#include "sim/sim_ids.h"
#include "sim/user_aircraft.h"
#include "traffic/live_table_services.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"
#include "traffic/removal_rules.h"
#include "traffic/stand_learning.h"
#include "traffic/stand_parking.h"
#include "traffic/stream_geometry.h"
#include "traffic/traffic_tables.h"

namespace zeph {

namespace {

constexpr std::int64_t kAirLeadPasses = 100;
constexpr std::int64_t kGroundLeadPasses = 300; // a taxiing aircraft needs longer to be placed and rolling
constexpr std::size_t kMostQueuedRequests = 10;

constexpr double kUserGroundSpeedLimit = 8.0; // knots
constexpr double kClearOfUserMetres = 500.0;
constexpr double kNearUserOnGroundNm = 0.08099352051835854; // 150 m
constexpr double kAirConflictRangeNm = 6.0;
constexpr double kAirConflictHeight = 3000.0;  // feet
constexpr double kAirConflictLateral = 4000.0; // feet
constexpr double kGroundConflictRangeNm = 1.5;
constexpr double kUserLowAboveGround = 1000.0;   // feet
constexpr double kGroundConflictLateral = 500.0; // feet

constexpr double kParkAirportReachNm = 5.0;
constexpr double kStandSearchNm = 0.029697624190064796; // 55 m
constexpr double kSlowRollSpeed = 5.0;                  // knots
constexpr double kNewestNearNm = 0.018898488120950324;  // 35 m
constexpr double kAdjacentClearance = 1.1;

constexpr double kGroundPitch = 0.010471975511965976; // 0.6 deg
constexpr double kMostClimbRate = 2400.0;             // ft/min
constexpr double kMostDescentRate = -3000.0;          // ft/min
constexpr double kSecondsPerMinute = 60.0;

void dropOldest(LiveAc& aircraft) { aircraft.stream.pop_front(); }

bool mixesAirAndGround(const LiveAc& aircraft) {
    const auto airborne = std::count_if(aircraft.stream.begin(), aircraft.stream.end(),
                                        [](const StreamPos& p) { return p.airborne != 0; });
    return airborne != 0 && static_cast<std::size_t>(airborne) != aircraft.stream.size();
}

std::size_t activeLiveCount() {
    return static_cast<std::size_t>(
        std::count_if(liveAcTable.begin(), liveAcTable.end(), [](const LiveAc& a) {
            return a.hexid > kLastStaticHexid && a.state == AcState::active;
        }));
}

// The heading a new object starts with: the saved one of a respawn, the stand's when parked, the reported
// track when it stands still, else towards its next position. Radians, 0 to 2 pi.
double spawnHeading(const LiveAc& aircraft) {
    const StreamPos& oldest = aircraft.stream.front();
    double heading = oldest.track * kDegToRad;
    if (aircraft.respawnFlag != 0) {
        heading = aircraft.respawnHeading;
    } else if (aircraft.phase == AcPhase::parked) {
        heading = aircraft.standHeading;
    } else if (aircraft.stream.size() >= 2 && aircraft.stream[1].stationary == 0) {
        heading = gf_initialBearing(pointOf(oldest), pointOf(aircraft.stream[1]));
    }
    return intoFullCircle(heading);
}

// The reference heading of the air rule. A new record has none yet, so before its first spawn the
// heading it will start with is taken: with 0 for all, an aircraft flying towards the user would pass.
double conflictHeading(const LiveAc& aircraft) {
    return aircraft.phase == AcPhase::birth ? spawnHeading(aircraft) : aircraft.referenceHeading;
}

bool airConflict(const LiveAc& aircraft, const UserAcPosition& user, double distanceNm) {
    const StreamPos& p = aircraft.stream.front();
    if (distanceNm > kAirConflictRangeNm || std::fabs(p.altitude - user.altitude) > kAirConflictHeight) {
        return false;
    }
    const double bearing = gf_initialBearing(GeoPoint{user.latitude, user.longitude}, pointOf(p));
    const double angle = wrapToPi(conflictHeading(aircraft) - bearing) / kDegToRad;
    double folded = 0.0;
    if (angle >= -90.0 && angle <= 0.0) {
        folded = angle + 90.0;
    } else if (angle < -90.0) {
        folded = -(angle + 90.0);
    } else if (angle <= 90.0) {
        folded = 90.0 - angle;
    } else {
        folded = angle - 90.0;
    }
    return std::cos(folded * kDegToRad) * distanceNm * kFeetPerNm <= kAirConflictLateral;
}

bool groundConflict(const StreamPos& p, const UserAcPosition& user, double distanceNm) {
    if (distanceNm > kGroundConflictRangeNm || user.altitudeAboveGround >= kUserLowAboveGround) {
        return false;
    }
    const double bearing = gf_initialBearing(GeoPoint{user.latitude, user.longitude}, pointOf(p));
    const double angle = wrapToPi(bearing - user.heading);
    return std::sin(std::fabs(angle)) * distanceNm * kFeetPerNm <= kGroundConflictLateral;
}

// Step 11 and 12 of the buffer rules: identity from the registration codes, airline from the callsign.
void fillInIdentity(LiveAc& aircraft) {
    if (!aircraft.registration.empty()) {
        if (const std::optional<RegcodeInfo> found = gf_lookupRegcode(aircraft.registration)) {
            aircraft.airline = found->opr.empty() ? found->airl : found->opr;
            aircraft.type = found->type;
            aircraft.cargo = found->cargo ? 1 : 0;
            if (!gf_hasValidCallsign(aircraft)) {
                aircraft.callsign = aircraft.registration;
            }
        }
    }
    if (aircraft.airline.empty() && !gf_airlineFromCallsign(aircraft)) {
        aircraft.airline = "PVT";
    }
}

// A live aircraft parked or pushing back on a stand next to this one, too close for both wingspans.
bool adjacentStandHeld(const LiveAc& aircraft, const ParkPos& stand) {
    for (const std::uint32_t number : stand.adjacentStands) {
        const ParkPos* next = gf_standByNumber(number);
        if (next == nullptr) {
            continue;
        }
        const double apart = gf_greatCircleDistance(GeoPoint{stand.latitude, stand.longitude},
                                                    GeoPoint{next->latitude, next->longitude});
        for (const LiveAc& other : liveAcTable) {
            if (other.standNumber == number && other.state == AcState::active &&
                (other.phase == AcPhase::parked || other.phase == AcPhase::pushing_back) &&
                other.callsign != aircraft.callsign &&
                apart <=
                    kAdjacentClearance * (gf_wingspanOfType(aircraft.type) + gf_wingspanOfType(other.type))) {
                return true;
            }
        }
    }
    return false;
}

// The livery of a first spawn; false (record erased) when none is found.
bool chooseLivery(LiveAc& aircraft) {
    if (aircraft.livery.empty()) {
        const std::string_view remembered = gf_rememberedLivery(aircraft.hexid);
        if (!remembered.empty()) {
            aircraft.livery = remembered;
        } else {
            gf_matchLiveryLive(aircraft);
            if (!aircraft.livery.empty()) {
                rememberedLiveries[aircraft.hexid] = aircraft.livery;
            }
        }
    }
    if (!aircraft.livery.empty()) {
        return true;
    }
    if (!aircraft.registration.empty()) {
        noMatchList.insert(gf_airlineTypeRegKey(aircraft));
    }
    aircraft.remove = 1; // a parked one gives its stand back when the pass erases the record
    return false;
}

void parkOnStand(LiveAc& aircraft, const ParkPos& stand) {
    lf_takeStand(aircraft, stand);
    // Taken now, not when the creation is reported: meanwhile no other aircraft picks the stand.
    gf_occupyStand(stand.number, aircraft.hexid);
    lf_setPhase(aircraft, AcPhase::parked);
    aircraft.parkedSince = nowSystemTicks();
    aircraft.largestStandDistance = 0.0;
    aircraft.leaveCount = 0;
    lf_clearCargoStand(aircraft);
    aircraft.stream.resize(1);
    StreamPos& onStand = aircraft.stream.front();
    onStand.latitude = stand.latitude;
    onStand.longitude = stand.longitude;
    onStand.track = stand.heading / kDegToRad;
    lf_addRealStandOption(stand.number, aircraft, kStandSpawnedMode);
    lf_maxParkExceeded(1);
}

// Livery and phase of a first spawn; false when the record is erased or waits in buffer.
bool chooseLiveryAndPhase(LiveAc& aircraft) {
    if (!chooseLivery(aircraft)) {
        return false;
    }
    if (aircraft.stream.front().airborne != 0) {
        lf_setPhase(aircraft, AcPhase::flying);
        return true;
    }
    const std::optional<ParkPos> stand = lf_findStandForAc(aircraft);
    if (aircraft.remove != 0) {
        return false;
    }
    if (stand) {
        parkOnStand(aircraft, *stand);
        return true;
    }
    if (aircraft.stream[1].stationary != 0) {
        dropOldest(aircraft);
        return false;
    }
    lf_setPhase(aircraft, AcPhase::taxi);
    return true;
}

} // namespace

void lf_handleBufferedAc(LiveAc& aircraft) {
    if (aircraft.stream.empty()) {
        aircraft.remove = 1;
        return;
    }
    const StreamPos& oldest = aircraft.stream.front();
    const bool rolling = oldest.airborne == 0 && oldest.groundSpeed != 0.0;
    if (tickCounter.load() < oldest.duePass - (rolling ? kGroundLeadPasses : kAirLeadPasses)) {
        return;
    }
    if (aircraft.stream.size() == 1 ||
        (aircraft.callsign.ends_with('_') && std::find(ghostCallsigns.begin(), ghostCallsigns.end(),
                                                       aircraft.callsign) != ghostCallsigns.end())) {
        aircraft.remove = 1;
        return;
    }
    if (mixesAirAndGround(aircraft)) {
        dropOldest(aircraft);
        return;
    }
    if (lf_userConflictWait(aircraft)) {
        return;
    }
    if (liveAddQueue.size() > kMostQueuedRequests && aircraft.phase == AcPhase::birth) {
        dropOldest(aircraft);
        return;
    }
    const std::int32_t liveLimit = MAX_LIVE_SEL.get();
    if (liveLimit == 0) {
        aircraft.remove = 1;
        return;
    }
    if (static_cast<std::int64_t>(liveLimit) <=
        static_cast<std::int64_t>(acIdsToAdd.size() + activeLiveCount() + liveAddQueue.size())) {
        const UserAcPosition user = userAircraftSnapshot().position;
        const double distance =
            gf_greatCircleDistance(GeoPoint{user.latitude, user.longitude}, pointOf(aircraft.stream.front()));
        if (lf_removeFarthestLive(distance)) {
            aircraft.remove = 1;
            return;
        }
    }
    const std::string blocked = BLOCK_CALLSIGN.get();
    if (!blocked.empty() && blocked == aircraft.callsign) {
        aircraft.remove = 1;
        return;
    }
    fillInIdentity(aircraft);
    if (!gf_hasValidCallsign(aircraft) || noMatchList.contains(gf_airlineTypeRegKey(aircraft)) ||
        (aircraft.callsign.ends_with('_') && lf_hasLiveTwin(aircraft.callsign))) {
        aircraft.remove = 1;
        return;
    }
    spawnLiveAc(aircraft);
}

bool lf_userConflictWait(LiveAc& aircraft) {
    const UserAircraftSnapshot snapshot = userAircraftSnapshot();
    const UserAcPosition& user = snapshot.position;
    const StreamPos& p = aircraft.stream.front();
    const double distance = gf_greatCircleDistance(GeoPoint{user.latitude, user.longitude}, pointOf(p));
    if (snapshot.onGround) {
        if (aircraft.userConflict != 0 &&
            (user.groundVelocity > kUserGroundSpeedLimit ||
             (p.airborne == 0 &&
              !(p.groundSpeed <= kUserGroundSpeedLimit && distance * kMetresPerNm >= kClearOfUserMetres)))) {
            dropOldest(aircraft);
            return true;
        }
        if (p.airborne != 0 || !COLLISION_USER_GND.get()) {
            return false;
        }
        if (distance < kNearUserOnGroundNm) {
            dropOldest(aircraft);
            return true;
        }
        return false;
    }
    if (!COLLISION_USER_AIR.get()) {
        return false;
    }
    const bool conflict =
        p.airborne != 0 ? airConflict(aircraft, user, distance) : groundConflict(p, user, distance);
    if (conflict) {
        aircraft.userConflict = 1;
    }
    if (!conflict && aircraft.userConflict == 0) {
        return false;
    }
    dropOldest(aircraft);
    return true;
}

void spawnLiveAc(LiveAc& aircraft) {
    if (aircraft.stream.size() < 2) {
        gf_logLine(fmt::format("{} sz:{}", "spawnLiveAc", aircraft.stream.size()));
        return;
    }
    StreamPos& oldest = aircraft.stream[0];
    StreamPos& second = aircraft.stream[1];
    if (second.stationary != 0) {
        oldest.stationary = 1;
        oldest.groundSpeed = 0.0;
        second.groundSpeed = 0.0;
        if (aircraft.stream.size() > 2 && aircraft.stream[2].stationary != 0) {
            aircraft.stream[2].groundSpeed = 0.0;
        }
    } else {
        oldest.stationary = 0;
    }
    // A record that stays in buffer ends here: it is looked at again next pass. A respawn whose livery was
    // forgotten keeps its phase and chooses the livery only.
    if (aircraft.phase == AcPhase::birth ? !chooseLiveryAndPhase(aircraft) : !chooseLivery(aircraft)) {
        return;
    }
    lf_initialAttitude(aircraft);
    aircraft.state = AcState::adding2sim;
    acIdsToAdd.push_back(aircraft.hexid);
    if (!aircraft.callsign.ends_with('_')) {
        lf_ghostCheck(aircraft.callsign);
    }
}

std::optional<ParkPos> lf_findStandForAc(LiveAc& aircraft) {
    if (parkAirportRecord.code.empty() || standList.empty()) {
        return std::nullopt;
    }
    StreamPos& p = aircraft.stream.front();
    const GeoPoint park{parkAirportRecord.latitude, parkAirportRecord.longitude};
    if (gf_greatCircleDistance(pointOf(p), park) > kParkAirportReachNm) {
        return std::nullopt;
    }
    GeoPoint searched = pointOf(p);
    if (p.stationary == 0) {
        const StreamPos& newest = aircraft.stream.back();
        if (aircraft.stream.size() < 2 || aircraft.stream[1].groundSpeed > kSlowRollSpeed ||
            gf_greatCircleDistance(pointOf(newest), pointOf(p)) > kNewestNearNm) {
            return std::nullopt;
        }
        searched = pointOf(newest);
    }
    const auto stand = gf_findStandFor(searched, aircraft, kStandSearchNm, p.stationary != 0);
    if (stand == standList.end()) {
        return std::nullopt;
    }
    const std::string reserved = reservedStandCopy();
    const UserAcPosition user = userAircraftSnapshot().position;
    const std::string userStand = gf_closestStandId(GeoPoint{user.latitude, user.longitude});
    if ((!reserved.empty() && stand->id == reserved) || (!userStand.empty() && stand->id == userStand)) {
        return std::nullopt;
    }
    if (lf_sameCallsignOrGhost(stand->number, aircraft.callsign) && !adjacentStandHeld(aircraft, *stand)) {
        lf_makeWay(aircraft, *stand);
        p.stationary = 1;
        p.groundSpeed = 0.0;
        return *stand;
    }
    aircraft.remove = 1;
    return std::nullopt;
}

void lf_initialAttitude(LiveAc& aircraft) {
    coupleCheckList.push_back(aircraft.hexid);
    const StreamPos& p = aircraft.stream.front();
    PositionBlock& block = aircraft.position;
    block.latitude = p.latitude;
    block.longitude = p.longitude;
    block.altitude = p.altitude;
    // The block's vertical speed is in feet per second; reports give feet per minute.
    block.verticalSpeed = p.verticalRate / kSecondsPerMinute;
    block.trueAirspeed = p.trueAirspeed;
    block.bank = p.roll.value_or(0.0);
    if (p.airborne == 0) {
        block.pitch = kGroundPitch;
    } else {
        const double rate = p.verticalRate > 0.0 ? std::min(p.verticalRate, kMostClimbRate)
                                                 : std::max(p.verticalRate, kMostDescentRate) / 2.0;
        block.pitch = (-3.0 - rate / 600.0 * 2.2) * kDegToRad;
    }
    block.heading = spawnHeading(aircraft);
    aircraft.headingStep = p.airborne != 0 ? 0.0 : block.heading;
    aircraft.userConflict = 0;
}

bool lf_hasLiveTwin(const std::string& callsign) {
    if (callsign.empty()) {
        return false;
    }
    const std::string_view twin(callsign.data(), callsign.size() - 1);
    return std::any_of(liveAcTable.begin(), liveAcTable.end(), [&](const LiveAc& a) {
        return a.callsign == twin && a.state != AcState::removingfromsim;
    });
}

bool lf_requestStaticCG(LiveAc& aircraft, const SimResult& result) {
    if (result.objectId < 3) {
        return false;
    }
    aircraft.objectId = result.objectId;
    aircraft.heightAboveGround = result.value2;
    if (!aircraft.stream.empty() && aircraft.stream.front().airborne == 0) {
        lf_parksAt(aircraft);
    }
    lf_createFlightPlan(aircraft);
    if (simConnectError.load()) {
        return true;
    }
    bool failed = false;
    {
        const std::lock_guard lock(simConnectMutex);
        failed = gf_simCalls().requestDataOnSimObject(simid::kRequestStaticCg, simid::kDefineStaticCg,
                                                      aircraft.objectId, simid::kPeriodOnce) < 0;
    }
    if (failed) {
        gf_logLine("SimConnect request StaticCG fails");
        lf_simRequestError();
    }
    return true;
}

void lf_createFlightPlan(LiveAc& aircraft) {
    if (aircraft.from.empty() || aircraft.to.empty()) {
        return;
    }
    const std::filesystem::path path = gf_flightPlanPath(aircraft.objectId);
    bool handedOver = false;
    if (gf_writeFlightPlan(path, aircraft) && !simConnectError.load()) {
        const std::lock_guard lock(simConnectMutex);
        handedOver =
            gf_simCalls().setAiFlightPlan(aircraft.objectId, path.string(), simid::kRequestFlightPlan) == 0;
    }
    aircraft.hasFlightPlan = handedOver ? 1 : 0;
    if (!handedOver) {
        gf_logLine(fmt::format("{} creating a flight plan failed", gf_acShortText(aircraft)));
    }
}

} // namespace zeph
