#include <algorithm>
#include <cmath>

#include "settings/parameter_table.h"
#include "sim/user_aircraft.h"
#include "traffic/park_airport_status.h"
#include "traffic/position_stream.h"
#include "traffic/report_intake.h"
#include "traffic/stand_parking.h"
#include "traffic/stream_geometry.h"
#include "traffic/traffic_tables.h"

// A dry stream: an aircraft whose reports stop holds on the ground or is flown on by predicted positions
// for a limited count, and is then removed.

namespace zeph {
namespace {

constexpr std::int64_t kPassesPerMinute = 6000;
constexpr std::int64_t kGroundCopyPasses = 300; // 3 s
constexpr std::int64_t kAirCopyPasses = 800;    // 8 s
constexpr double kNeighbourReach = 1.2;
constexpr int kAirPredictions = 8;
constexpr int kGroundPredictions = 10;
constexpr double kRangeMarginNm = 0.5;
constexpr double kAirborneOnlyMarginFeet = 1000.0;

// Another active taxiing aircraft close enough to be in the way of a holding one.
bool taxiingNeighbourNear(const LiveAc& aircraft) {
    return std::any_of(liveAcTable.begin(), liveAcTable.end(), [&](const LiveAc& other) {
        return other.onGround != 0 && other.phase == AcPhase::taxi && other.state == AcState::active &&
               other.objectId != aircraft.objectId &&
               gf_greatCircleDistance(pointOf(aircraft.position), pointOf(other.position)) <=
                   (aircraft.radius + other.radius) * kNeighbourReach;
    });
}

bool holdOnGround(LiveAc& aircraft) {
    const std::int64_t now = tickCounter.load();
    if (taxiingNeighbourNear(aircraft)) {
        aircraft.holdFlag = 0;
        aircraft.holdStart = 0;
        return false;
    }
    if (aircraft.holdFlag != 0) {
        if (AIRBORNE_ONLY.get() ||
            (now - aircraft.holdStart) / kPassesPerMinute > MAX_HOLDING_MINUTES.get()) {
            return false;
        }
    } else {
        aircraft.holdStart = now;
    }
    aircraft.holdFlag = 1;
    StreamPos copy = aircraft.stream.front();
    copy.duePass += kGroundCopyPasses;
    copy.groundSpeed = 0.0;
    copy.stationary = 1;
    aircraft.stream.push_back(copy);
    aircraft.timingMode = 1;
    return true;
}

// The first prediction: how many an aircraft may fly, 0 when it is to be removed instead.
int firstPredictionCount(const LiveAc& aircraft) {
    if (!isWantedKind(aircraft.kind)) {
        return 0;
    }
    if (aircraft.onGround != 0) {
        return aircraft.phase == AcPhase::parked ? 1 : kGroundPredictions;
    }
    const GeoPoint user{userAcPosition.latitude, userAcPosition.longitude};
    const double range = std::max(0, RANGE.get());
    if (isKnownPosition(userAcPosition) &&
        gf_greatCircleDistance(user, pointOf(aircraft.position)) >= range - kRangeMarginNm) {
        return 0;
    }
    const double reference = parkAirportRecord.code.empty() ? 0.0 : parkAirportRecord.altitude;
    if (AIRBORNE_ONLY.get() && std::fabs(aircraft.position.altitude - reference) < kAirborneOnlyMarginFeet) {
        return 0;
    }
    return kAirPredictions;
}

bool predictOn(LiveAc& aircraft) {
    const int mode = aircraft.timingMode;
    if (mode < 0) {
        return false;
    }
    if (mode == 1) {
        aircraft.timingMode = -1;
        return false;
    }
    const int count = mode > 1 ? mode - 1 : firstPredictionCount(aircraft);
    if (count == 0) {
        return false;
    }
    lf_predictPositions(aircraft, count);
    return true;
}

// The copy's speed on the take-off roll, and its vertical rate.
void takeOffRollSpeed(double headSpeed, double& speed, double& verticalRate) {
    struct Row {
        double upTo;
        double speed;
        double rate;
    };
    static constexpr Row rows[] = {{30.0, 40.0, 0.0},
                                   {60.0, 80.0, 0.0},
                                   {100.0, 110.0, 0.0},
                                   {140.0, 150.0, 600.0},
                                   {160.0, 170.0, 1200.0}};
    for (const Row& row : rows) {
        if (headSpeed <= row.upTo) {
            speed = row.speed;
            verticalRate = row.rate != 0.0 ? row.rate : verticalRate;
            return;
        }
    }
    speed = 180.0;
    verticalRate = 2400.0;
}

double landingRollSpeed(double headSpeed) {
    if (headSpeed >= 140.0) {
        return 100.0;
    }
    if (headSpeed >= 100.0) {
        return 80.0;
    }
    if (headSpeed >= 80.0) {
        return 60.0;
    }
    return headSpeed >= 60.0 ? 30.0 : 20.0;
}

// The speed of a moving copy, 0 for one that stands.
double copySpeed(const LiveAc& aircraft, int count, StreamPos& copy) {
    const double head = copy.groundSpeed;
    if (aircraft.onGround == 0) {
        if (aircraft.approach == 0) {
            return std::max(0.95 * head, 1.0);
        }
        return count >= 4 ? std::max(0.9 * head, 1.0) : head;
    }
    if (aircraft.landingRoll != 0) {
        copy.verticalRate = 0.0;
        return landingRollSpeed(head);
    }
    if (aircraft.takeOffRoll == 0) {
        return 0.0;
    }
    double speed = 0.0;
    takeOffRollSpeed(head, speed, copy.verticalRate);
    return speed;
}

void moveCopy(const LiveAc& aircraft, StreamPos& copy, double speed) {
    const double seconds = aircraft.onGround != 0 ? 3.0 : 8.0;
    const double feet = seconds * 100.0 * speed * kFeetPerNm / 360000.0;
    const GeoPoint moved = gf_destinationPoint(pointOf(copy), aircraft.position.heading, feet);
    copy.stationary = lf_samePoint(moved, pointOf(copy)) ? 1 : 0;
    copy.latitude = moved.lat;
    copy.longitude = moved.lon;
    if (aircraft.approach != 0 && aircraft.landingStage == 0) {
        copy.verticalRate = -667.0;
        copy.altitude -= seconds * 10.005;
    } else if (aircraft.phase == AcPhase::take_off) {
        copy.verticalRate = 1500.0;
        copy.altitude += seconds * 25.0;
    }
    copy.airborne = copy.altitude > 0.0 ? 1 : 0;
    copy.altitude = std::max(copy.altitude, 0.0);
}

} // namespace

bool lf_extendStream(LiveAc& aircraft) {
    if (aircraft.stream.empty()) {
        return false;
    }
    if (aircraft.phase == AcPhase::parking) {
        lf_arrivedAtStand(aircraft);
        return predictOn(aircraft);
    }
    const bool rolling = aircraft.landingRoll != 0 || aircraft.takeOffRoll != 0;
    if (aircraft.phase == AcPhase::pushed_back || (aircraft.phase == AcPhase::taxi && !rolling)) {
        return holdOnGround(aircraft);
    }
    return predictOn(aircraft);
}

void lf_predictPositions(LiveAc& aircraft, int count) {
    aircraft.timingMode = count;
    StreamPos copy = aircraft.stream.front();
    const bool parked = aircraft.phase == AcPhase::parked;
    const double speed = (copy.stationary != 0 || parked) ? 0.0 : copySpeed(aircraft, count, copy);
    copy.groundSpeed = speed;
    if (speed > 0.0) {
        moveCopy(aircraft, copy, speed);
    } else {
        copy.stationary = 1;
    }
    // A parked aircraft keeps its stand marked while it stands there: every arrival comes through here, and
    // a free stand would let the next aircraft pick it and remove this one. Leaving or removal frees it.
    if (parked) {
        copy.duePass += kParkedCopyPasses;
        aircraft.groundLogic = 0;
    } else {
        copy.duePass += aircraft.onGround != 0 ? kGroundCopyPasses : kAirCopyPasses;
    }
    aircraft.stream.push_back(copy);
}

} // namespace zeph
