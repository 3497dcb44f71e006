#include "traffic/ground_motion.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include <fmt/format.h>
#include <gsl/narrow>

#include "airports/stands.h"
#include "core/log.h"
#include "model/flight_texts.h"
#include "sim/commands.h"
#include "state/main_window_state.h"
#include "traffic/flight_motion.h"
#include "traffic/ground_curve.h"
#include "traffic/motion_lights.h"
#include "traffic/position_stream.h"
#include "traffic/stand_departure.h"
#include "traffic/stand_parking.h"
#include "traffic/stream_geometry.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

constexpr double kStraightTurnDeg = 3.0;             // a smaller turn needs no curve
constexpr double kCutTurnDeg = 45.0;                 // a larger, long and slow turn is cut in two first
constexpr double kWidestCurveDeg = 160.0;            // a larger turn is not curved
constexpr double kCutTurnNm = 0.02699784017278618;   // 50 m
constexpr double kHandOverNm = 0.018898488120950324; // 35 m
constexpr double kSplitMetres = 100.0;
constexpr double kSplitSpeedKt = 5.0;
constexpr double kCutTurnSpeedKt = 43.0;
constexpr std::int64_t kCutTurnPasses = 600;
constexpr double kHandOverSpeedKt = 5.0;
constexpr double kRollSpeedKt = 43.0; // the take-off check starts at this head speed
constexpr double kSlowClimbFpm = 256.0;
constexpr double kRunwayLeftDeg = 15.0;
constexpr double kRollOutSpeedKt = 90.0;
constexpr double kLastProgress = 0.999999;
// The heading change since touch-down goes through radians: 15.0 degrees may come out a hair below.
constexpr double kAngleSlackDeg = 1e-9;

bool hasCurve(const LiveAc& aircraft) {
    return !std::isnan(aircraft.controlPointEast) && !std::isnan(aircraft.controlPointNorth);
}

bool standsLoaded() { return parkAirportLoaded.load() && !standList.empty(); }

std::uint32_t idleThrottle(const LiveAc& aircraft) { return aircraft.kind == AcKind::Rotorcraft ? 4U : 0U; }

void finishPushBack(LiveAc& aircraft) {
    aircraft.referenceHeading = aircraft.position.heading;
    gf_engineStart(aircraft.objectId);
    gf_setThrottle(aircraft, 0);
    gf_setFlaps(aircraft, 1);
    lf_setPhase(aircraft, AcPhase::pushed_back);
    aircraft.pushBackPieces = 1;
    aircraft.lastPushBackDistance = 900.0;
    aircraft.timingMode = 0;
    aircraft.leavingStand = 0;
}

// True when the set-up ends here, timed already.
bool pushingBackSetUp(LiveAc& aircraft) {
    auto& stream = aircraft.stream;
    if (--aircraft.pushBackPieces <= 0) {
        finishPushBack(aircraft);
        return false;
    }
    if (aircraft.pushBackPieces != 1 || stream.size() < 3) {
        return false;
    }
    if (aircraft.curvedPushBack == 0) {
        stream.pop_back(); // straight to the point behind the stand
        return false;
    }
    if (aircraft.pushBackSide != 0) {
        stream.back() = aircraft.pushBackEnd;
    }
    lf_startCurve(aircraft);
    aircraft.progressStep = 1.0 / lf_turnPasses(90.0, aircraft.turnRate);
    aircraft.curveTurnAngle = 90.0;
    lf_groundSegmentTiming(aircraft);
    return true;
}

void parkedSetUp(LiveAc& aircraft) {
    aircraft.earlyWindow = 3000;
    aircraft.lateWindow = aircraft.takeOffRoll != 0 ? 5000 : 3000;
    if (aircraft.leavingStand == 0) {
        return;
    }
    const StandPlace stand = lf_standPlace(aircraft);
    const double bearing = gf_initialBearing(stand.point, pointOf(aircraft.stream.back()));
    if (lf_leavesForwards(wrapToPi(bearing - stand.heading) * kRadToDeg)) {
        lf_pullOut(aircraft);
    } else {
        lf_pushBack(aircraft);
    }
}

// The turn the reported route makes at position 1, from the leg head -> 1 to the leg 1 -> 2, radians in
// (-pi, pi]. A corner is judged on the route, not on the nose as in the air: the curve runs from the head
// through position 1, and the nose follows its direction at the turn rate. Judged on the nose, a nose still
// off the route (after a push back, or a curve whose turn rate fell short) made a curve of a straight stretch
// and stretched a turn in place over the segment, and taxiing aircraft moved with the nose up to 90 degrees
// off their way.
double cornerTurn(const LiveAc& aircraft) {
    const auto& stream = aircraft.stream;
    const double in = gf_initialBearing(pointOf(stream[0]), pointOf(stream[1]));
    return turnFromTo(in, gf_initialBearing(pointOf(stream[1]), pointOf(stream[2])));
}

void cornerSetUp(LiveAc& aircraft) {
    const auto& stream = aircraft.stream;
    const double turn = std::fabs(cornerTurn(aircraft)) * kRadToDeg;
    const std::int64_t apart =
        std::max<std::int64_t>(stream[1].duePass - stream[0].duePass, kShortestTravelPasses);
    if (turn <= kStraightTurnDeg) {
        lf_splitOnSpeedChange(aircraft);
    } else if (turn > kCutTurnDeg && headToNextNm(aircraft) > kCutTurnNm &&
               stream[0].groundSpeed <= kCutTurnSpeedKt && apart >= kCutTurnPasses) {
        lf_insertMidpoint(aircraft);
    } else if (turn <= kWidestCurveDeg && !lf_samePoint(pointOf(stream[0]), pointOf(stream[2]))) {
        lf_startCurve(aircraft);
        aircraft.curveTurnAngle = turn;
    } else {
        lf_splitOnSpeedChange(aircraft);
    }
}

void turnInPlaceCheck(LiveAc& aircraft) {
    if (hasCurve(aircraft)) {
        aircraft.turningInPlace = 0;
        return;
    }
    aircraft.turnInPlaceAngle = offHeadingDegrees(aircraft.referenceHeading, aircraft.position.heading);
    aircraft.turningInPlace = aircraft.turnInPlaceAngle > kStraightTurnDeg ? 1 : 0;
}

void parkingHandOver(LiveAc& aircraft) {
    const auto& stream = aircraft.stream;
    if (stream.back().stationary == 0 || aircraft.phase != AcPhase::taxi || !standsLoaded()) {
        return;
    }
    const AcPhase before = aircraft.previousPhase;
    if (aircraft.towed == 0 &&
        (before == AcPhase::parked || before == AcPhase::pushing_back || before == AcPhase::pushed_back)) {
        return; // it has just left a stand
    }
    if (aircraft.timingMode >= 1) {
        try2Park(aircraft, aircraft.landed);
    } else if (stream[1].groundSpeed <= kHandOverSpeedKt &&
               gf_greatCircleDistance(pointOf(aircraft.position), pointOf(stream.back())) <= kHandOverNm) {
        try2Park(aircraft, 0);
    }
}

void taxiSetUp(LiveAc& aircraft) {
    const auto& stream = aircraft.stream;
    if (stream[1].stationary == 0) {
        if (stream.size() >= 3 && stream[2].stationary == 0) {
            cornerSetUp(aircraft);
        } else if (stream.size() >= 3 || aircraft.timingMode < 1) {
            lf_splitOnSpeedChange(aircraft);
        }
        turnInPlaceCheck(aircraft);
    }
    parkingHandOver(aircraft);
}

void setUpGroundSegment(LiveAc& aircraft) {
    if (aircraft.stream.size() < 2) {
        return;
    }
    if (aircraft.phase == AcPhase::pushing_back) {
        if (pushingBackSetUp(aircraft)) {
            return;
        }
    } else if (aircraft.phase == AcPhase::parked) {
        parkedSetUp(aircraft);
    } else {
        taxiSetUp(aircraft);
    }
    lf_groundSegmentTiming(aircraft);
}

void stopTiming(LiveAc& aircraft) {
    const StreamPos& head = aircraft.stream[0];
    const StreamPos& next = aircraft.stream[1];
    // A stop lasts as long as reported, counted from the head's due pass.
    const std::int64_t stop = std::max<std::int64_t>(next.duePass - head.duePass, kShortestTravelPasses);
    const std::int64_t travel =
        std::max<std::int64_t>(head.duePass - tickCounter.load() + stop, kShortestTravelPasses);
    lf_setNextDue(aircraft, gsl::narrow<std::int32_t>(travel));
}

std::uint32_t rollThrottle(const LiveAc& aircraft) {
    const double h = aircraft.stream[0].groundSpeed;
    const double n = aircraft.stream[1].groundSpeed;
    if (aircraft.kind == AcKind::Rotorcraft || h >= 25.0 || n >= 30.0) {
        return 4;
    }
    if (h >= 20.0 || n >= 25.0) {
        return 2;
    }
    return h >= 15.0 || n >= 20.0 ? 1 : 0;
}

// Spoilers in, spoilers handle and throttle levers to 0 at once.
void leversBack(LiveAc& aircraft) {
    gf_setSpoilers(aircraft, 0);
    gf_setControlLevers(aircraft, 0.0, 0.0);
}

void landingRollStep(LiveAc& aircraft) {
    const double turned = offHeadingDegrees(aircraft.position.heading, aircraft.touchDownHeading);
    if (turned >= kRunwayLeftDeg - kAngleSlackDeg) {
        gf_setFlaps(aircraft, 0);
        aircraft.landingRoll = 0;
        aircraft.touchDownHeading = 0.0;
        gf_setThrottle(aircraft, idleThrottle(aircraft));
        leversBack(aircraft);
        gf_setLights(aircraft.objectId, kLightsRunwayExit);
    } else if (aircraft.stream[0].groundSpeed <= kRollOutSpeedKt) {
        leversBack(aircraft);
        gf_setFlaps(aircraft, 1);
    }
}

void takeOffCheck(LiveAc& aircraft, double passes) {
    const auto& stream = aircraft.stream;
    if (aircraft.takeOffRoll == 0 || aircraft.phase == AcPhase::take_off ||
        stream[0].groundSpeed < kRollSpeedKt) {
        return;
    }
    const auto after = stream.begin() + 1;
    const bool allAirborne =
        std::all_of(after, stream.end(), [](const StreamPos& p) { return p.airborne != 0; });
    const bool slowClimb =
        std::any_of(after, stream.end(), [](const StreamPos& p) { return p.verticalRate <= kSlowClimbFpm; });
    if (slowClimb) {
        if (!lf_allAboveRotationSpeed(aircraft) || !allAirborne) {
            return;
        }
        aircraft.altitudeStep = aircraft.climbStep;
    } else if (!allAirborne) {
        aircraft.altitudeStep = aircraft.climbStep;
    } else {
        aircraft.altitudeStep = std::max(stream[1].altitude - aircraft.position.altitude, 0.1) / passes;
    }
    lf_takeOffStep(aircraft);
}

void straightStep(LiveAc& aircraft) {
    aircraft.position.latitude += aircraft.latitudeStep;
    aircraft.position.longitude += aircraft.longitudeStep;
}

void curveMove(LiveAc& aircraft) {
    PositionBlock& block = aircraft.position;
    aircraft.curveProgress = std::clamp(aircraft.curveProgress + aircraft.progressStep, 0.0, kLastProgress);
    GeoPoint point;
    double travel = 0.0;
    if (!gf_pointOnCurve(curveViewOf(aircraft), point, travel, aircraft.curveProgress)) {
        gf_logText(
            fmt::format("{} error in curve at index: {:.2F}", aircraft.callsign, aircraft.curveProgress));
        return;
    }
    block.latitude = point.lat;
    block.longitude = point.lon;
    // Pushed back, the nose points against the direction of travel.
    const double wanted =
        aircraft.phase == AcPhase::pushing_back ? intoFullCircle(travel + kTwoPi / 2.0) : travel;
    block.heading = lf_turnToward(block.heading, wanted, aircraft.turnRate);
}

void groundMove(LiveAc& aircraft) {
    PositionBlock& block = aircraft.position;
    switch (aircraft.phase) {
    case AcPhase::pushed_back:
        return;
    case AcPhase::pushing_back: // the heading stays that of the stand
        break;
    case AcPhase::parking:
        block.heading = lf_turnToward(block.heading, aircraft.referenceHeading, aircraft.turnRate);
        break;
    default:
        if (aircraft.turningInPlace == 0) {
            break;
        }
        block.heading = lf_turnToward(block.heading, aircraft.referenceHeading, aircraft.turnRate);
        if (offHeadingDegrees(aircraft.referenceHeading, block.heading) > 0.5) {
            return;
        }
        aircraft.turningInPlace = 0;
        break;
    }
    straightStep(aircraft);
}

bool turnsWhileMoving(AcPhase phase) {
    return phase == AcPhase::take_off || phase == AcPhase::flying || phase == AcPhase::parked ||
           phase == AcPhase::birth;
}

} // namespace

void nextPosGround(LiveAc& aircraft) {
    try {
        setUpGroundSegment(aircraft);
    } catch (const std::exception& error) {
        gf_logText(fmt::format("{}: {}, {}, sz:{}", "nextPosGround", error.what(), gf_acLogPrefix(aircraft),
                               aircraft.stream.size()));
        throw;
    }
}

void lf_groundSegmentTiming(LiveAc& aircraft) {
    if (aircraft.stream.size() < 2) {
        return;
    }
    if (aircraft.stream[1].stationary != 0) {
        stopTiming(aircraft);
        return;
    }
    aircraft.turnRate = aircraft.baseTurnRate;
    const double nm = headToNextNm(aircraft);
    const std::int32_t travel = lf_travelPasses(nm, lf_segmentSpeed(aircraft));
    if (hasCurve(aircraft) || aircraft.turningInPlace != 0) {
        const double angle =
            aircraft.turningInPlace != 0 ? aircraft.turnInPlaceAngle : aircraft.curveTurnAngle;
        const TurnTiming timing = lf_turnTiming(angle, travel, nm * kMetresPerNm, aircraft.turnRate);
        aircraft.turnRate = timing.turnRate;
        if (timing.wideWindows) {
            aircraft.earlyWindow = std::max(aircraft.earlyWindow, 2000);
            aircraft.lateWindow = std::max(aircraft.lateWindow, 2000);
        }
    }
    lf_setNextDue(aircraft, travel);
}

void lf_groundMoveStep(LiveAc& aircraft) {
    if (aircraft.stream.size() < 2) {
        return;
    }
    if (aircraft.phase == AcPhase::flying || aircraft.phase == AcPhase::parked) {
        lf_setPhase(aircraft, AcPhase::taxi);
    } else if (aircraft.takeOffRoll != 0) {
        gf_setThrottle(aircraft, rollThrottle(aircraft));
    } else if (aircraft.landingRoll != 0) {
        landingRollStep(aircraft);
    } else {
        gf_setThrottle(aircraft, idleThrottle(aircraft));
    }
    if (aircraft.takeOffRoll == 0 && aircraft.landingRoll == 0) {
        narrowWindows(aircraft);
    }
    if (aircraft.landingStage == 0 && aircraft.phase != AcPhase::take_off) {
        aircraft.position.pitch = aircraft.staticPitch;
        aircraft.position.bank = 0.0;
        aircraft.pitchStep = 0.0;
        aircraft.bankStep = 0.0;
        // Nothing is left to ease: easing that went on at the standing pitch would never end, and would
        // hold the altitude of the next flight.
        aircraft.touchDownEasing = 0;
    }
    const auto passes = static_cast<double>(lf_segmentPasses(aircraft));
    if (hasCurve(aircraft)) {
        aircraft.progressStep = 1.0 / passes; // the curve takes exactly the segment's time
    }
    const double speed = aircraft.stream[1].groundSpeed;
    aircraft.segmentTrueAirspeed = aircraft.phase == AcPhase::pushing_back ? -speed : speed;
    takeOffCheck(aircraft, passes);
}

void lf_curveStep(LiveAc& aircraft) {
    PositionBlock& block = aircraft.position;
    if (hasCurve(aircraft)) {
        curveMove(aircraft);
    } else if (turnsWhileMoving(aircraft.phase)) {
        block.heading = intoFullCircle(block.heading + aircraft.headingStep);
        straightStep(aircraft);
    } else {
        groundMove(aircraft);
    }
    lf_verticalStep(aircraft);
    GeoPoint point = pointOf(block);
    lf_normalisePosition(point);
    block.latitude = point.lat;
    block.longitude = point.lon;
}

double lf_turnAhead(const LiveAc& aircraft) {
    const auto& stream = aircraft.stream;
    if (stream.size() < 3) {
        return 0.0;
    }
    // From the nose, not from the leg to position 1: an offset left by a reported heading, a respawn or a
    // prediction is turned out at the next segment, so the aircraft comes back onto the reported line.
    return turnFromTo(aircraft.position.heading, gf_initialBearing(pointOf(stream[1]), pointOf(stream[2])));
}

bool lf_allAboveRotationSpeed(const LiveAc& aircraft) {
    const double rotation = kindValuesOf(aircraft.kind).rotationSpeedKt;
    return std::all_of(aircraft.stream.begin() + (aircraft.stream.empty() ? 0 : 1), aircraft.stream.end(),
                       [rotation](const StreamPos& p) { return p.groundSpeed >= rotation; });
}

void lf_insertMidpoint(LiveAc& aircraft) {
    auto& stream = aircraft.stream;
    if (stream.size() < 2) {
        return;
    }
    const StreamPos& head = stream[0];
    const StreamPos& next = stream[1];
    StreamPos middle = head;
    GeoPoint point{(head.latitude + next.latitude) / 2.0,
                   head.longitude + wrapTo180(next.longitude - head.longitude) / 2.0};
    lf_normalisePosition(point);
    middle.latitude = point.lat;
    middle.longitude = point.lon;
    middle.groundSpeed = (head.groundSpeed + next.groundSpeed) / 2.0;
    middle.altitude = (head.altitude + next.altitude) / 2.0;
    middle.airborne = middle.altitude > 0.0 ? 1 : 0;
    if (middle.airborne == 0) {
        middle.altitude = 0.0;
    }
    middle.stationary = 0;
    middle.duePass =
        static_cast<std::int64_t>(std::round(static_cast<double>(head.duePass + next.duePass) / 2.0));
    stream.insert(stream.begin() + 1, middle);
}

void lf_splitOnSpeedChange(LiveAc& aircraft) {
    const auto& stream = aircraft.stream;
    if (stream.size() < 2 || !(stream[0].groundSpeed > 0.0 || stream[1].groundSpeed > 0.0)) {
        return;
    }
    if (std::fabs(stream[0].groundSpeed - stream[1].groundSpeed) > kSplitSpeedKt &&
        headToNextNm(aircraft) * kMetresPerNm >= kSplitMetres) {
        lf_insertMidpoint(aircraft);
    }
}

} // namespace zeph
