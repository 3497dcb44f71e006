#include "traffic/flight_motion.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>

#include "core/geodesy.h"
#include "realtraffic/qnh.h"
#include "sim/commands.h"
#include "traffic/ground_motion.h"
#include "traffic/motion_lights.h"
#include "traffic/park_airport_status.h"
#include "traffic/position_stream.h"
#include "traffic/stand_parking.h"
#include "traffic/stream_geometry.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

constexpr double kNearParkAirportNm = 10.0;
constexpr double kFallbackApproachSpeedKt = 100.0;
constexpr double kLeastDescentFpm = -601.0;
constexpr double kHighLevelFt = 10000.0;

bool parkAirportSet() { return !parkAirportRecord.code.empty(); }

std::int32_t qnhNow() { return currentQnh.load(std::memory_order_relaxed); }

double passesOf(const LiveAc& aircraft) { return static_cast<double>(lf_segmentPasses(aircraft)); }

std::uint32_t flightThrottle(const LiveAc& aircraft, std::uint32_t index) {
    return aircraft.kind == AcKind::Rotorcraft ? 4U : index;
}

// Position 1 and the segment fly at this vertical rate; the altitude follows it.
void descendAt(LiveAc& aircraft, double rate) {
    aircraft.stream[1].verticalRate = rate;
    aircraft.segmentVerticalRate = rate;
    aircraft.altitudeStep = rate / kFpmPerFootPerPass;
}

double climbTo(const LiveAc& aircraft) {
    const double rise = aircraft.stream[1].altitude - aircraft.position.altitude;
    return rise > 0.0 ? std::min(rise / passesOf(aircraft), aircraft.climbStep) : 0.0;
}

// The head is still on the ground.
void leavingGround(LiveAc& aircraft) {
    auto& stream = aircraft.stream;
    if (stream[1].airborne != 0) {
        lf_liftOffClimb(aircraft);
        return;
    }
    const double rates = std::accumulate(stream.begin(), stream.end(), 0.0,
                                         [](double sum, const StreamPos& p) { return sum + p.verticalRate; });
    if (aircraft.approach != 0 || rates <= 100.0) {
        descendAt(aircraft, lf_approachRate(aircraft));
    } else {
        bool skipped = false;
        const int last = std::min(static_cast<int>(stream.size()) - 1, 10);
        for (int k = 3; k <= last && !skipped; ++k) {
            skipped = lf_skipToAirborne(aircraft, k);
        }
        if (!skipped) {
            descendAt(aircraft, std::max(stream[1].verticalRate, 601.0));
        }
    }
    gf_setGear(aircraft, 1);
}

// The head is in the air.
void inTheAir(LiveAc& aircraft) {
    const StreamPos& head = aircraft.stream[0];
    const StreamPos& next = aircraft.stream[1];
    const double toNext = (next.altitude - aircraft.position.altitude) / passesOf(aircraft);
    if (next.airborne == 0) {
        // Descent to the touch-down point.
        if (qnhNow() > 1013) {
            descendAt(aircraft, lf_approachRate(aircraft));
        } else if (!parkAirportSet()) {
            descendAt(aircraft, kLeastDescentFpm);
        } else {
            aircraft.altitudeStep =
                (parkAirportRecord.altitude - aircraft.position.altitude) / passesOf(aircraft);
        }
        gf_setGear(aircraft, 1);
    } else if (aircraft.approach == 0) {
        // Low down and without an approach an aircraft never sinks.
        const double least = aircraft.heightAboveGround > 1000.0 ? toNext : std::max(toNext, 0.2);
        aircraft.altitudeStep = std::min(least, aircraft.climbStep);
    } else if (head.altitude != next.altitude || aircraft.heightAboveGround > 1000.0 ||
               head.verticalRate + next.verticalRate > 100.0) {
        aircraft.altitudeStep = toNext;
    } else {
        descendAt(aircraft, lf_approachRate(aircraft));
    }
}

void setPitchStep(LiveAc& aircraft) {
    double rate = aircraft.stream[1].verticalRate;
    rate = rate > 0.0 ? std::min(rate, 2400.0) : std::max(rate, -3000.0) / 2.0;
    const double target = (-3.0 - rate / 600.0 * 2.2) * kDegToRad;
    const double largest = kindValuesOf(aircraft.kind).pitchStepDeg * kDegToRad;
    aircraft.pitchStep =
        std::clamp((target - aircraft.position.pitch) / passesOf(aircraft), -largest, largest);
}

// Turn to fly this segment, in (-pi, pi]: a reported heading low down, else toward the next leg.
double segmentTurn(const LiveAc& aircraft) {
    const StreamPos& next = aircraft.stream[1];
    const double below = aircraft.approach != 0 ? 2000.0 : 1000.0;
    if (next.trueHeadingKnown == 0 || !next.trueHeading || !next.roll ||
        aircraft.heightAboveGround >= below) {
        return lf_turnAhead(aircraft);
    }
    return turnFromTo(aircraft.position.heading, *next.trueHeading);
}

void highLevelStep(LiveAc& aircraft) {
    if (aircraft.lightsHigh != 0) {
        return;
    }
    aircraft.lightsHigh = 1;
    aircraft.lightsLow = 0;
    gf_setLights(aircraft.objectId, kLightsHigh);
    gf_setThrottle(aircraft, flightThrottle(aircraft, 3));
    gf_setGear(aircraft, 0);
    gf_setFlaps(aircraft, 0);
}

// Flaps index 4 is "none sent yet", which counts as up.
std::uint32_t flapsNow(const LiveAc& aircraft) { return aircraft.flapsIndex >= 4 ? 0U : aircraft.flapsIndex; }

void aboveClimbOut(LiveAc& aircraft) {
    narrowWindows(aircraft);
    gf_setCabinLights(aircraft.objectId, 1);
    aircraft.takeOffRoll = 0;
    aircraft.approach = 0;
    const double rate = aircraft.stream[0].verticalRate;
    if (rate <= -250.0 && aircraft.throttleIndex == 3) {
        gf_setThrottle(aircraft, flightThrottle(aircraft, 2));
    } else if (rate > 400.0 && aircraft.throttleIndex == 4) {
        gf_setThrottle(aircraft, flightThrottle(aircraft, 3));
    }
    const double height = aircraft.heightAboveGround;
    const std::uint32_t flaps = flapsNow(aircraft);
    if (height >= 2400.0) {
        gf_setGear(aircraft, 0);
        gf_setFlaps(aircraft, 0);
    } else if (rate <= 100.0 && (flaps == 0 || (flaps == 1 && height < 2000.0))) {
        gf_setFlaps(aircraft, flaps + 1);
    }
}

void startApproach(LiveAc& aircraft) {
    gf_setThrottle(aircraft, flightThrottle(aircraft, 1));
    gf_setFlaps(aircraft, 3);
    gf_setGear(aircraft, 1);
    coupleCheckList.push_back(aircraft.hexid);
    aircraft.approach = 1;
    aircraft.climbOutDone = 0;
    giveUpStand(aircraft);
    aircraft.phaseCountdown = 1;
    aircraft.lateWindow = aircraft.takeOffRoll != 0 ? 5000 : 3000;
    aircraft.earlyWindow = 3000;
}

} // namespace

void lf_airSegment(LiveAc& aircraft) {
    const StreamPos& next = aircraft.stream[1];
    if (next.stationary != 0) {
        lf_groundSegmentTiming(aircraft);
        return;
    }
    double speed = lf_segmentSpeed(aircraft);
    if (aircraft.approach != 0 && next.airborne == 0) {
        const double head = aircraft.stream[0].groundSpeed;
        speed = head > 0.0 ? head : kFallbackApproachSpeedKt;
    }
    lf_setNextDue(aircraft, lf_travelPasses(headToNextNm(aircraft), speed));
}

void lf_flyStep(LiveAc& aircraft) {
    if (aircraft.phase != AcPhase::take_off && aircraft.phase != AcPhase::flying) {
        lf_setPhase(aircraft, AcPhase::flying);
    }
    aircraft.segmentTrueAirspeed = aircraft.stream[1].trueAirspeed;
    aircraft.segmentVerticalRate = aircraft.stream[1].verticalRate;
    if (aircraft.landingStage == 0) {
        if (aircraft.stream[0].airborne == 0) {
            leavingGround(aircraft);
        } else {
            inTheAir(aircraft);
        }
        if (aircraft.phase != AcPhase::take_off) {
            setPitchStep(aircraft);
        }
    }
    const std::int64_t passes = lf_segmentPasses(aircraft);
    const double turn = segmentTurn(aircraft);
    aircraft.headingStep = turn / static_cast<double>(passes);
    const auto& roll = aircraft.stream[1].roll;
    if (roll) {
        aircraft.bankStep = (*roll - aircraft.position.bank) / static_cast<double>(passes);
    } else {
        lf_setBankStep(aircraft, turn, passes);
    }
    if (aircraft.stream[0].altitude < kHighLevelFt) {
        lf_lowLevelStep(aircraft);
    } else {
        highLevelStep(aircraft);
    }
}

double lf_approachRate(const LiveAc& aircraft) {
    if (aircraft.heightAboveGround <= 100.0) {
        return -600.0;
    }
    const double mean = (aircraft.stream[0].verticalRate + aircraft.stream[1].verticalRate) / 2.0;
    return std::min(mean - (qnhNow() - 1013.25) * 6.0, kLeastDescentFpm);
}

bool lf_skipToAirborne(LiveAc& aircraft, int k) {
    auto& stream = aircraft.stream;
    if (k < 2 || stream.size() < static_cast<std::size_t>(k) || stream[k - 1].airborne == 0) {
        return false;
    }
    for (int drop = 0; drop < k - 2 && stream.size() >= 3; ++drop) {
        stream.erase(stream.begin() + 1);
    }
    lf_setNextDue(aircraft, lf_travelPasses(headToNextNm(aircraft), lf_segmentSpeed(aircraft)));
    aircraft.altitudeStep = climbTo(aircraft);
    // The steps set for the segment still aim at the dropped position.
    lf_aimAtNext(aircraft);
    return true;
}

void lf_setBankStep(LiveAc& aircraft, double turn, std::int64_t passes) {
    const KindValues& values = kindValuesOf(aircraft.kind);
    const double largest = values.largestBankDeg * kDegToRad;
    const double step = values.bankStepDeg * kDegToRad;
    const double target = std::clamp(-turn, -largest, largest);
    aircraft.bankStep =
        std::clamp((target - aircraft.position.bank) / static_cast<double>(std::max<std::int64_t>(passes, 1)),
                   -step, step);
}

void lf_liftOffClimb(LiveAc& aircraft) { aircraft.altitudeStep = climbTo(aircraft); }

void lf_lowLevelStep(LiveAc& aircraft) {
    if (aircraft.lightsLow == 0) {
        aircraft.lightsLow = 1;
        aircraft.lightsHigh = 0;
        gf_setLights(aircraft.objectId, kLightsAllOn);
    }
    if (aircraft.heightAboveGround > kindValuesOf(aircraft.kind).climbOutHeight) {
        aboveClimbOut(aircraft);
    } else {
        lf_lowAltitudeStep(aircraft);
    }
}

void lf_lowAltitudeStep(LiveAc& aircraft) {
    gf_setCabinLights(aircraft.objectId, 0);
    const GeoPoint park{parkAirportRecord.latitude, parkAirportRecord.longitude};
    const bool near =
        parkAirportSet() && gf_greatCircleDistance(pointOf(aircraft.position), park) <= kNearParkAirportNm;
    const double rate = aircraft.stream[0].verticalRate;
    if (rate > -250.0) {
        if ((rate <= 600.0 && (aircraft.approach == 0 || near)) || aircraft.climbOutDone != 0) {
            return;
        }
        narrowWindows(aircraft);
        gf_setThrottle(aircraft, 4);
        gf_setGear(aircraft, 0);
        gf_setFlaps(aircraft, 0);
        aircraft.climbOutDone = 1;
        aircraft.landingStage = 0;
        aircraft.approach = 0;
    } else if (aircraft.approach == 0 && near) {
        startApproach(aircraft);
    }
}

} // namespace zeph
