#include <cmath>

#include <fmt/format.h>

#include "airports/stands.h"
#include "core/clock.h"
#include "core/log.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "traffic/live_update.h"
#include "traffic/position_stream.h"
#include "traffic/stand_learning.h"
#include "traffic/stand_parking.h"
#include "traffic/stream_geometry.h"
#include "traffic/traffic_tables.h"

// Whether a new report of a known aircraft extends its stream, by phase.

namespace zeph {
namespace {

constexpr double kAtStandNm = 0.0458963282937365;      // 85 m
constexpr double kStandStepNm = 0.0016198704103671706; // 3 m
constexpr double kLeftStandNm = 0.10799136069114472;   // 200 m
constexpr double kBackwardsInFlightDeg = 100.0;
constexpr double kBackwardsOnLandingDeg = 90.0;
constexpr double kBehindOnLandingRollDeg = 150.0;
constexpr double kNoSpeedUpAboveKt = 40.0;
constexpr double kTaxiReportKt = 40.0;

void endRunningPrediction(LiveAc& aircraft) {
    aircraft.stream.front().duePass = tickCounter.load() + 1;
    lf_endPrediction(aircraft);
}

double offHeading(const LiveAc& aircraft, const StreamPos& from, const StreamPos& to) {
    return offHeadingDegrees(gf_initialBearing(pointOf(from), pointOf(to)), aircraft.position.heading);
}

// Reports at the stand: drift keeps the aircraft parked, distances growing three times in a row (or by more
// than its radius) show it leaving, a report far away means it left unseen.
bool atStand(LiveAc& aircraft, StreamPos& position) {
    if (aircraft.state == AcState::buffer || aircraft.state == AcState::adding2sim) {
        return false;
    }
    aircraft.groundLogic = 1;
    const double d =
        gf_greatCircleDistance(pointOf(position), GeoPoint{aircraft.standLatitude, aircraft.standLongitude});
    const double reach = aircraft.previousPhase == AcPhase::parking ? 2.0 * kAtStandNm : kAtStandNm;
    if (d > reach) {
        if (aircraft.phase == AcPhase::parking) {
            lf_setPhase(aircraft, AcPhase::taxi);
            giveUpStand(aircraft);
            position.stationary = 0;
            return true;
        }
        if (d > kLeftStandNm) {
            lf_addRealStandOption(aircraft.standNumber, aircraft, kStandAbandonedMode);
            removeAircraftFromSim(aircraft);
            return false;
        }
        lf_startLeavingStand(aircraft, position);
        return true;
    }
    aircraft.parkedSince = nowSystemTicks();
    if (aircraft.leavingStand != 0) {
        // Its mark is given up: a report near the stand after the leave does not make it stay parked there.
        return false;
    }
    if (aircraft.largestStandDistance == 0.0) {
        aircraft.firstStandDistance = d;
        aircraft.largestStandDistance = d;
        aircraft.leaveCount = 0;
    } else if (d >= aircraft.largestStandDistance + kStandStepNm) {
        aircraft.largestStandDistance = d;
        ++aircraft.leaveCount;
        const double moved = d - aircraft.firstStandDistance;
        if ((aircraft.leaveCount >= 3 && moved >= aircraft.radius / 2.0) || moved > aircraft.radius) {
            lf_startLeavingStand(aircraft, position);
            return true;
        }
    } else if (d <= aircraft.largestStandDistance - kStandStepNm) {
        aircraft.leaveCount = 0;
    }
    aircraft.leavingStand = 0;
    return false;
}

// While the first straight piece of a push back runs, the reported heading or track picks the side of
// the curve that ends it.
void choosePushBackSide(LiveAc& aircraft, const StreamPos& position) {
    if (STRAIGHT_PBS_ONLY.get() || aircraft.pushBackPieces != 2) {
        return;
    }
    double difference = 0.0;
    if (position.trueHeadingKnown != 0 && position.trueHeading) {
        difference = wrapToPi(*position.trueHeading - aircraft.position.heading);
    } else if (position.track != 0.0) {
        difference = wrapToPi(position.track * kDegToRad - aircraft.position.heading);
    } else {
        return;
    }
    aircraft.pushBackSide = difference > 0.0 ? 1 : 0;
    aircraft.curvedPushBack = 1;
}

bool afterPushBack(LiveAc& aircraft, StreamPos& position) {
    const double metres =
        gf_greatCircleDistance(pointOf(position), pointOf(aircraft.position)) * kMetresPerNm;
    const double radius = aircraft.radius * kMetresPerNm;
    if ((metres > 2.75 * radius && metres > aircraft.lastPushBackDistance) || metres > 6.0 * radius) {
        position.stationary = 0;
        if (aircraft.timingMode >= 1) {
            endRunningPrediction(aircraft);
        }
        aircraft.curvedPushBack = 0;
        aircraft.pushBackPieces = 0;
        lf_setPhase(aircraft, AcPhase::taxi);
        giveUpStand(aircraft);
        aircraft.holdFlag = 0;
        aircraft.holdStart = 0;
        return true;
    }
    if (aircraft.holdFlag == 0) {
        aircraft.holdStart = tickCounter.load();
    }
    aircraft.holdFlag = 1;
    aircraft.lastPushBackDistance = metres;
    return false;
}

bool onTheMove(LiveAc& aircraft, StreamPos& position) {
    if (aircraft.approach != 0 || aircraft.landingRoll != 0) {
        return checkNewPosDuringLanding(aircraft, position);
    }
    if (!lf_acceptNewPos(aircraft, position)) {
        return false;
    }
    if (aircraft.timingMode <= 0) {
        return true;
    }
    if (aircraft.stream.empty()) {
        // Nothing to go on from; the update removes an aircraft whose stream is empty.
        gf_logLine(fmt::format("{} empty sz?", "checkExtendingSituations"));
        return false;
    }
    if (aircraft.onGround == 0 &&
        offHeading(aircraft, aircraft.stream.back(), position) >= kBackwardsInFlightDeg) {
        return false;
    }
    endRunningPrediction(aircraft);
    aircraft.holdFlag = 0;
    aircraft.holdStart = 0;
    return true;
}

// The aircraft stops at its current point before it takes the new target.
void reseedAtCurrentPoint(LiveAc& aircraft) {
    StreamPos here = aircraft.stream.front();
    here.latitude = aircraft.position.latitude;
    here.longitude = aircraft.position.longitude;
    here.duePass = tickCounter.load() + 1;
    aircraft.stream.assign(1, here);
}

// Whether the time since the parked position was made still counts as a tow of a just-landed aircraft.
bool towedSinceLanding(const LiveAc& aircraft) {
    const std::int64_t since = tickCounter.load() - aircraft.stream.front().duePass + kParkedCopyPasses;
    switch (aircraft.kind) {
    case AcKind::Heavy:
        return since < 360000;
    case AcKind::Large:
        return since < 150000;
    case AcKind::Buzjets:
        return since < 90000;
    default:
        return false;
    }
}

} // namespace

bool checkExtendingSituations(LiveAc& aircraft, StreamPos& position) {
    switch (aircraft.phase) {
    case AcPhase::parking:
    case AcPhase::parked:
        return atStand(aircraft, position);
    case AcPhase::pushing_back:
        choosePushBackSide(aircraft, position);
        return false;
    case AcPhase::pushed_back:
        return afterPushBack(aircraft, position);
    case AcPhase::taxi:
    case AcPhase::take_off:
    case AcPhase::flying:
    case AcPhase::birth:
        break;
    }
    return onTheMove(aircraft, position);
}

bool checkNewPosDuringLanding(LiveAc& aircraft, StreamPos& position) {
    auto& stream = aircraft.stream;
    if (stream.empty()) {
        gf_logLine(fmt::format("{} empty sz?", "checkNewPosDuringLanding"));
        return false;
    }
    if (lf_samePoint(pointOf(position), pointOf(stream.back()))) {
        return false;
    }
    if (stream.size() >= 2) {
        // Only a report still rolling lies behind the queued roll: at taxi speed it has turned off the
        // runway, and its bearing off the runway heading is the way to the stand, not an overshoot.
        const bool rolling = aircraft.approach != 0 || position.groundSpeed > kTaxiReportKt;
        for (int dropped = 0; rolling && dropped < 2 && stream.size() >= 2; ++dropped) {
            if (offHeading(aircraft, stream.back(), position) < kBackwardsOnLandingDeg) {
                break;
            }
            stream.pop_back();
        }
    } else {
        const double off = offHeading(aircraft, stream.front(), position);
        if (aircraft.approach != 0) {
            if (off >= kBackwardsOnLandingDeg) {
                return false;
            }
        } else {
            if (off >= kBehindOnLandingRollDeg && aircraft.timingMode >= 1) {
                return false;
            }
            reseedAtCurrentPoint(aircraft);
        }
    }
    if (aircraft.timingMode >= 1) {
        lf_endPrediction(aircraft);
    }
    const StreamPos& last = stream.back();
    position.stationary = lf_samePoint(pointOf(position), pointOf(last)) ? 1 : 0;
    // An aircraft does not speed up again on approach or on the landing roll.
    if (position.stationary == 0 && position.groundSpeed > last.groundSpeed &&
        position.groundSpeed > kNoSpeedUpAboveKt) {
        position.groundSpeed = last.groundSpeed;
    }
    return true;
}

void lf_startLeavingStand(LiveAc& aircraft, StreamPos& position) {
    position.stationary = 0;
    aircraft.leavingStand = 1;
    if (aircraft.previousPhase == AcPhase::parked) {
        return;
    }
    if (aircraft.timingMode >= 1 && aircraft.phase == AcPhase::parked && !aircraft.stream.empty()) {
        if (aircraft.landed != 0) {
            if (towedSinceLanding(aircraft)) {
                aircraft.towed = 1;
            }
            aircraft.landed = 0;
        }
        endRunningPrediction(aircraft);
    }
    lf_addRealStandOption(aircraft.standNumber, aircraft, kStandLeftMode);
    gf_freeStand(aircraft.standNumber, aircraft.hexid);
    lf_setPhase(aircraft, AcPhase::parked);
}

} // namespace zeph
