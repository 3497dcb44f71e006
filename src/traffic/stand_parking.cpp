#include "traffic/stand_parking.h"

#include <algorithm>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "core/clock.h"
#include "core/half_hours.h"
#include "core/log.h"
#include "model/flight_texts.h"
#include "sim/ai_objects.h"
#include "sim/commands.h"
#include "sim/user_aircraft.h"
#include "state/run_state.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"
#include "traffic/position_stream.h"
#include "traffic/removal_rules.h"
#include "traffic/stand_learning.h"
#include "traffic/stream_geometry.h"
#include "traffic/traffic_tables.h"

namespace zeph {

namespace {

constexpr double kSearchNm = 0.010799136069114472;       // 20 m
constexpr double kLandedSearchNm = 0.029697624190064796; // 55 m
constexpr double kOnStandNm = 0.0010799136069114472;     // 2 m
constexpr std::int32_t kShortestDrivePasses = 100;
constexpr std::int64_t kComeToRestPasses = 50;
// A parked aircraft turned farther than this from its stand heading is set onto it.
constexpr double kParkedHeadingSlackDeg = 0.5;

GeoPoint standPoint(const ParkPos& stand) { return GeoPoint{stand.latitude, stand.longitude}; }

// The stand the user aircraft stands on, and the one reserved for it, are the user's.
bool isUsersStand(const ParkPos& stand) {
    const std::string reserved = reservedStandCopy();
    if (!reserved.empty() && stand.id == reserved) {
        return true;
    }
    const std::string closest =
        gf_closestStandId(GeoPoint{userAcPosition.latitude, userAcPosition.longitude});
    return !closest.empty() && stand.id == closest;
}

// Parked: at rest on the stand, facing its heading, engines off and the use learned.
void parkAtStand(LiveAc& aircraft, ParkPos* stand) {
    lf_setPhase(aircraft, AcPhase::parked);
    if (aircraft.towed != 0) {
        gf_logText(fmt::format("          towed aircraft {} parks", gf_acLogPrefix(aircraft)));
    }
    aircraft.stream.front().stationary = 1;
    aircraft.parkedSince = nowSystemTicks();
    aircraft.largestStandDistance = 0.0;
    aircraft.leaveCount = 0;
    // The turn onto the stand heading happens only while driving; a short drive ends before it is done.
    if (offHeadingDegrees(aircraft.standHeading, aircraft.position.heading) > kParkedHeadingSlackDeg) {
        aircraft.position.heading = aircraft.standHeading;
    }
    if (stand != nullptr) {
        gf_occupyStand(stand->number, aircraft.hexid);
    }
    lf_clearCargoStand(aircraft);
    gf_resetAcControls(aircraft);
    gf_logText(
        fmt::format("{:8}: {:8} arrived at stand", lf_standText(aircraft.standNumber), aircraft.callsign));
    coupleCheckList.push_back(aircraft.hexid);
    lf_addRealStandOption(aircraft.standNumber, aircraft, kStandArrivedMode);
    lf_maxParkExceeded(0);
}

void removeStaticOnStand(const LiveAc& aircraft) {
    const auto found = std::find_if(staticAcTable.begin(), staticAcTable.end(), [&](const StaticAc& s) {
        return s.state == AcState::active && s.standNumber == aircraft.standNumber;
    });
    if (found == staticAcTable.end()) {
        return;
    }
    gf_logText(fmt::format("{:8}: {:8} parks over static {} {} static will be removed",
                           lf_standText(aircraft.standNumber), aircraft.callsign, found->callsign, kLogDash));
    removeAircraftFromSim(*found);
}

} // namespace

void lf_takeStand(StaticAc& aircraft, const ParkPos& stand) {
    aircraft.standLatitude = stand.latitude;
    aircraft.standLongitude = stand.longitude;
    aircraft.standHeading = stand.heading;
    aircraft.standNumber = stand.number;
    aircraft.cargoStand = stand.cargo ? 1 : 0;
}

void giveUpStand(LiveAc& aircraft) {
    gf_freeStand(aircraft.standNumber, aircraft.hexid);
    lf_forgetStand(aircraft);
}

void try2Park(LiveAc& aircraft, std::uint8_t landed) {
    if (aircraft.stream.empty()) {
        gf_logLine(fmt::format("{} empty sz?", "try2Park"));
        return;
    }
    const GeoPoint last = pointOf(aircraft.stream.back());
    // One check per point, but a landed aircraft's wider search still runs where a narrow one found nothing.
    if (lf_samePoint(last, GeoPoint{aircraft.lastDriveLatitude, aircraft.lastDriveLongitude}) &&
        (landed == 0 || aircraft.lastDriveLanded != 0)) {
        return;
    }
    aircraft.lastDriveLatitude = last.lat;
    aircraft.lastDriveLongitude = last.lon;
    aircraft.lastDriveLanded = landed != 0 ? 1 : 0;
    const auto stand =
        gf_findStandFor(last, aircraft, landed != 0 ? kLandedSearchNm : kSearchNm, landed != 0);
    if (stand == standList.end() || isUsersStand(*stand)) {
        return;
    }
    lf_removeForParkingWish(stand->number, aircraft);
    for (const std::uint32_t adjacent : stand->adjacentStands) {
        lf_removeAdjacentParked(adjacent, aircraft, *stand);
    }
    lf_makeWay(aircraft, *stand);
    lf_takeStand(aircraft, *stand);
    aircraft.stream.resize(1);
    lf_setPhase(aircraft, AcPhase::parking);
    drive2Stand(aircraft, standPoint(*stand), stand->heading);
}

void lf_removeForParkingWish(std::uint32_t standNumber, LiveAc& aircraft) {
    LiveAc* there = gf_liveOnStand(standNumber, [](const LiveAc& a) {
        return a.phase == AcPhase::parked && a.state == AcState::active;
    });
    if (there == nullptr) {
        return;
    }
    gf_logText(fmt::format("{:8}: {:8} removed, {} wants to park there", lf_standText(standNumber),
                           there->callsign, aircraft.callsign));
    removeAircraftFromSim(*there);
}

void lf_removeAdjacentParked(std::uint32_t adjacentNumber, LiveAc& aircraft, const ParkPos& stand) {
    const ParkPos* adjacent = gf_standByNumber(adjacentNumber);
    if (adjacent == nullptr || (adjacent->latitude == 0.0 && adjacent->longitude == 0.0)) {
        return;
    }
    LiveAc* there = gf_liveOnStand(adjacentNumber, [](const LiveAc& a) {
        return a.state == AcState::active && (a.phase == AcPhase::parked || a.phase == AcPhase::pushing_back);
    });
    if (there == nullptr || !lf_tooClose(standPoint(*adjacent), standPoint(stand),
                                         gf_wingspanOfType(there->type), gf_wingspanOfType(aircraft.type))) {
        return;
    }
    gf_logText(fmt::format("{:8}: {:8} removed by parking {} at adjacent and possibly colliding stand {}",
                           adjacent->id, there->callsign, aircraft.callsign, stand.id));
    removeAircraftFromSim(*there);
}

void drive2Stand(LiveAc& aircraft, GeoPoint stand, double heading) {
    auto& stream = aircraft.stream;
    if (stream.empty()) {
        gf_logLine(fmt::format("{} empty sz?", "drive2Stand"));
        return;
    }
    const double nm = gf_greatCircleDistance(pointOf(stream.back()), stand);
    const std::int32_t travel = std::max(lf_travelPasses(nm, aircraft.slowTaxiSpeed), kShortestDrivePasses);
    stream.back().groundSpeed = aircraft.slowTaxiSpeed;
    StreamPos onStand;
    onStand.latitude = stand.lat;
    onStand.longitude = stand.lon;
    onStand.altitude = aircraft.position.altitude;
    onStand.groundSpeed = onStand.trueAirspeed = aircraft.slowTaxiSpeed;
    onStand.track = heading * kRadToDeg;
    onStand.duePass = stream.front().duePass + travel;
    onStand.stationary = lf_samePoint(pointOf(stream.back()), stand) ? 1 : 0;
    onStand.trueHeadingKnown = stream.front().trueHeadingKnown;
    onStand.roll = aircraft.position.bank;
    StreamPos atRest = onStand;
    atRest.groundSpeed = atRest.trueAirspeed = 0.0;
    atRest.duePass = onStand.duePass + kComeToRestPasses;
    atRest.stationary = 1;
    stream.push_back(onStand);
    stream.push_back(atRest);
    aircraft.referenceHeading = heading;
    lf_endPrediction(aircraft);
}

void lf_arrivedAtStand(LiveAc& aircraft) {
    ParkPos* stand = gf_standByNumber(aircraft.standNumber);
    if (stand != nullptr && stand->occupied) {
        // Another aircraft took the stand meanwhile: this one goes, the mark stays the other's.
        aircraft.timingMode = 1;
        removeAircraftFromSim(aircraft);
        return;
    }
    const GeoPoint standAt{aircraft.standLatitude, aircraft.standLongitude};
    if (gf_greatCircleDistance(pointOf(aircraft.position), standAt) > kOnStandNm) {
        lf_setPhase(aircraft, AcPhase::taxi);
        giveUpStand(aircraft);
        return;
    }
    parkAtStand(aircraft, stand);
}

void lf_clearCargoStand(LiveAc& aircraft) {
    if (aircraft.cargoStand != 0 || aircraft.cargo == 0) {
        return;
    }
    ParkPos* stand = gf_standByNumber(aircraft.standNumber);
    if (stand == nullptr || !stand->cargo) {
        return;
    }
    stand->cargo = false;
    stand->cargoChanged = true;
    gf_noteLearnedUpdate();
    gf_logLine(fmt::format("{} stand: {}, cargo attribute set to false, {} parked here",
                           parkAirportRecord.name, stand->id, gf_acLogPrefix(aircraft)));
}

void lf_parksAt(LiveAc& aircraft) {
    aircraft.onGround = 1;
    aircraft.altitudeStep = 0.0;
    if (aircraft.phase == AcPhase::parked) {
        const WeekSlot now = WeekSlot::fromPacked(currentWeekSlot.load());
        aircraft.parkingDay = now.day;
        aircraft.parkingHalfHour = now.slot;
        gf_logText(fmt::format("{:8}: {:8} parks", lf_standText(aircraft.standNumber), aircraft.callsign));
        // A record without a stand takes nothing from the plan or the statics.
        if (ParkPos* stand = gf_standByNumber(aircraft.standNumber)) {
            // A respawn whose reports showed it leaving comes back only to drive off: its mark stays free.
            if (aircraft.leavingStand == 0) {
                gf_occupyStand(stand->number, aircraft.hexid);
            }
            std::erase_if(staticPlan, [&](const StaticPlanEntry& entry) {
                return entry.standId == aircraft.standNumber;
            });
            removeStaticOnStand(aircraft);
        }
    }
    aircraft.phaseCountdown = 1;
}

} // namespace zeph
