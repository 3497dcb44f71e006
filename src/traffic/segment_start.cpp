#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include <fmt/format.h>
#include <gsl/narrow>

#include "core/log.h"
#include "model/flight_texts.h"
#include "sim/ai_objects.h"
#include "traffic/flight_motion.h"
#include "traffic/ground_motion.h"
#include "traffic/position_stream.h"
#include "traffic/stream_geometry.h"
#include "traffic/traffic_tables.h"

// Starting the segments of the position stream and the due pass of their targets.

namespace zeph {
namespace {

constexpr double kPassesPerHour = 360000.0;
constexpr double kMissedStopMetres = 5.0;

// In the air a repeated position is not flown: only a hovering rotorcraft stays in one place.
void dropRepeatsInTheAir(LiveAc& aircraft) {
    auto& stream = aircraft.stream;
    while (stream.size() >= 2 && aircraft.onGround == 0 && aircraft.kind != AcKind::Rotorcraft &&
           stream[1].stationary != 0) {
        stream.erase(stream.begin() + 1);
    }
}

// Steps of the segment towards position 1. The longitude difference goes the short way, so a segment across
// the antimeridian does not go round the world.
void setSteps(LiveAc& aircraft) {
    const StreamPos& next = aircraft.stream[1];
    if (next.stationary != 0) {
        aircraft.latitudeStep = 0.0;
        aircraft.longitudeStep = 0.0;
        if (aircraft.landingRoll == 0 && aircraft.takeOffRoll == 0) {
            narrowWindows(aircraft);
        }
        return;
    }
    lf_aimAtNext(aircraft);
    if (aircraft.onGround != 0) {
        lf_groundMoveStep(aircraft);
    } else {
        lf_flyStep(aircraft);
    }
}

// A taxiing aircraft that has not reached the point where it is to stop (a turn on the spot took the time of
// the segment before) drives there first: standing still where it is would leave it short for good.
void driveToAMissedStop(LiveAc& aircraft) {
    StreamPos& head = aircraft.stream[0];
    StreamPos& next = aircraft.stream[1];
    if (next.stationary == 0 || aircraft.onGround == 0 || aircraft.phase != AcPhase::taxi ||
        aircraft.landingRoll != 0 || aircraft.takeOffRoll != 0 ||
        gf_greatCircleDistance(pointOf(aircraft.position), pointOf(next)) * kMetresPerNm <=
            kMissedStopMetres) {
        return;
    }
    head.latitude = aircraft.position.latitude;
    head.longitude = aircraft.position.longitude;
    next.stationary = 0;
}

void startSegment(LiveAc& aircraft) {
    for (;;) {
        dropRepeatsInTheAir(aircraft);
        if (aircraft.stream.size() >= 2) {
            break;
        }
        if (!lf_extendStream(aircraft)) {
            removeAircraftFromSim(aircraft);
            return;
        }
    }
    lf_nextSegment(aircraft);
}

} // namespace

void lf_clearCurve(LiveAc& aircraft) {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    aircraft.curveStartParameter = none;
    aircraft.curveEndParameter = none;
    aircraft.controlPointEast = none;
    aircraft.controlPointNorth = none;
    aircraft.curveProgress = 0.0;
}

void lf_aimAtNext(LiveAc& aircraft) {
    const StreamPos& next = aircraft.stream[1];
    const auto passes = static_cast<double>(lf_segmentPasses(aircraft));
    aircraft.latitudeStep = (next.latitude - aircraft.position.latitude) / passes;
    aircraft.longitudeStep = wrapTo180(next.longitude - aircraft.position.longitude) / passes;
}

void logMotionFailure(std::string_view where, const std::exception& error, const LiveAc& aircraft) {
    gf_logLine(fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", where, error.what(), gf_acLogPrefix(aircraft),
                           aircraft.stream.size(), gf_groundStateName(aircraft.phase),
                           gf_simStateName(aircraft.state)));
}

void nextPosMain(LiveAc& aircraft) {
    try {
        startSegment(aircraft);
    } catch (const std::exception& error) {
        logMotionFailure("nextPosMain", error, aircraft);
        throw;
    }
}

void lf_nextSegment(LiveAc& aircraft) {
    lf_clearCurve(aircraft);
    StreamPos& head = aircraft.stream[0];
    StreamPos& next = aircraft.stream[1];
    if (next.stationary == 0 && lf_samePoint(pointOf(head), pointOf(next))) {
        next.stationary = 1;
    }
    driveToAMissedStop(aircraft);
    if (next.stationary == 0) {
        aircraft.referenceHeading = gf_initialBearing(pointOf(head), pointOf(next));
    }
    if (aircraft.onGround != 0) {
        nextPosGround(aircraft);
    } else {
        lf_airSegment(aircraft);
    }
    // The ground rules may shorten the stream; without a target left the next pass finds it dry.
    if (aircraft.stream.size() >= 2) {
        setSteps(aircraft);
    }
    if (!aircraft.stream.empty()) {
        aircraft.stream.pop_front();
    }
}

void lf_setNextDue(LiveAc& aircraft, std::int32_t travelPasses) {
    const std::int64_t now = tickCounter.load();
    std::int64_t candidate = now + travelPasses;
    StreamPos& next = aircraft.stream[1];
    if (aircraft.timingMode < 1) {
        const std::int64_t reported = next.duePass;
        candidate = candidate > reported + aircraft.lateWindow
                        ? reported + aircraft.lateWindow
                        : std::max(candidate, reported - aircraft.earlyWindow);
    }
    next.duePass = std::max(candidate, now);
}

std::int32_t lf_travelPasses(double distanceNm, double speedKt) {
    const double rounded = std::round(distanceNm * kPassesPerHour / speedKt);
    // Converting a double beyond the range to an integer is undefined: check before converting.
    if (!(rounded >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
        throw gsl::narrowing_error{};
    }
    return std::max(kShortestTravelPasses, static_cast<std::int32_t>(rounded));
}

std::int64_t lf_segmentPasses(const LiveAc& aircraft) {
    const std::int64_t passes = aircraft.stream[1].duePass - tickCounter.load();
    return std::max<std::int64_t>(passes, kShortestTravelPasses);
}

double lf_segmentSpeed(const LiveAc& aircraft) {
    const StreamPos& head = aircraft.stream[0];
    const StreamPos& next = aircraft.stream[1];
    double speed = (head.groundSpeed + next.groundSpeed) / 2.0;
    if (head.groundSpeed == 0.0 && next.groundSpeed == 0.0) {
        const std::int64_t passes =
            std::max<std::int64_t>(next.duePass - head.duePass, kShortestTravelPasses);
        speed = headToNextNm(aircraft) * kPassesPerHour / static_cast<double>(passes);
    }
    return std::max(speed, 1.0);
}

} // namespace zeph
