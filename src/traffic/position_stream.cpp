#include "traffic/position_stream.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <initializer_list>
#include <utility>

#include <fmt/format.h>

#include "core/log.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "sim/commands.h"
#include "traffic/flight_motion.h"
#include "traffic/live_update.h"
#include "traffic/motion_lights.h"
#include "traffic/stream_geometry.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

constexpr double kSamePointDegrees = 1e-8;
// A report this close to the last position is jitter: it becomes a stationary copy of the last one.
constexpr double kJitterDegrees = 0.00015;
// A stationary tail is kept only when the aircraft stood there long enough or the new report left it.
constexpr std::int64_t kShortStopPasses = 1500;
constexpr double kLeftStopNm = 0.011879049676025918; // 22 m
constexpr std::size_t kStopLookBack = 7;
constexpr double kTakeOffRollSpeed = 43.0; // knots
constexpr std::uint32_t kTouchAndGoThrottle = 3;
constexpr std::uint32_t kTouchAndGoFlaps = 1;

bool samePosition(const StreamPos& one, const StreamPos& other) {
    return lf_samePoint(pointOf(one), pointOf(other));
}

// Refusal of a stationary or jittering position in the air: only a hovering rotorcraft stays in one place.
bool refusedInTheAir(const LiveAc& aircraft, const StreamPos& position) {
    return position.airborne != 0 || (aircraft.state == AcState::active && aircraft.onGround == 0);
}

// Due passes never go backwards along the stream.
void keepDueAfterLast(const LiveAc& aircraft, StreamPos& position) {
    if (!aircraft.stream.empty() && position.duePass <= aircraft.stream.back().duePass) {
        position.duePass = aircraft.stream.back().duePass + 1;
    }
}

// A ground report after a stationary tail: a stop that was too short to show, or that the aircraft has
// already left, is cut out so it does not stand still where it never stopped.
void trimStationaryTail(LiveAc& aircraft, const StreamPos& position) {
    auto& stream = aircraft.stream;
    if (position.airborne != 0 || stream.empty() || stream.back().stationary == 0) {
        return;
    }
    if (position.stationary != 0) {
        const bool allStationary =
            std::all_of(stream.begin(), stream.end(), [](const StreamPos& p) { return p.stationary != 0; });
        if (allStationary && stream.size() > 1) {
            stream.resize(1);
        }
        return;
    }
    const std::size_t size = stream.size();
    if (size < 3) {
        return;
    }
    const std::size_t lowest = size - std::min(size, kStopLookBack) + 1;
    for (std::size_t i = size - 2; i >= lowest; --i) {
        if (stream[i].stationary != 0) {
            continue;
        }
        const bool shortStop = stream.back().duePass - stream[i].duePass < kShortStopPasses;
        if (shortStop || gf_greatCircleDistance(pointOf(position), pointOf(stream[i])) <= kLeftStopNm) {
            stream.erase(stream.begin() + static_cast<std::ptrdiff_t>(i) + 1, stream.end());
        }
        return;
    }
}

void touchAndGo(LiveAc& aircraft) {
    lf_setPhase(aircraft, AcPhase::taxi);
    aircraft.takeOffRoll = 1;
    gf_setThrottle(aircraft, kTouchAndGoThrottle);
    gf_setSpoilers(aircraft, 1);
    gf_setFlaps(aircraft, kTouchAndGoFlaps);
    aircraft.approach = 0;
    aircraft.landed = 0;
    aircraft.climbOutDone = 0;
    gf_setLights(aircraft.objectId, kLightsTakeOff);
    aircraft.lateWindow = 5000;
    aircraft.earlyWindow = 3000;
}

void detectTakeOff(LiveAc& aircraft, const StreamPos& position) {
    if (aircraft.state != AcState::active || aircraft.onGround == 0 || aircraft.takeOffRoll != 0 ||
        aircraft.stream.empty()) {
        return;
    }
    const StreamPos& last = aircraft.stream.back();
    if (aircraft.landingRoll == 0) {
        const bool fast = position.groundSpeed >= kTakeOffRollSpeed && last.groundSpeed >= kTakeOffRollSpeed;
        if (aircraft.phase == AcPhase::taxi && (position.airborne != 0 || fast)) {
            lf_towedTakesOff(aircraft);
        }
    } else if (last.airborne != 0 && position.airborne != 0) {
        touchAndGo(aircraft);
    }
}

void appendReport(LiveAc& aircraft, StreamPos& position) {
    trimStationaryTail(aircraft, position);
    keepDueAfterLast(aircraft, position);
    detectTakeOff(aircraft, position);
    auto& stream = aircraft.stream;
    stream.push_back(position);
    // Two stationary positions: nothing to wait for, the next segment may start at once.
    if (stream.size() == 2 && stream[0].stationary != 0 && stream[1].stationary != 0) {
        stream[0].duePass = tickCounter.load() + 1;
        stream[0].groundSpeed = stream[1].groundSpeed;
    }
}

void decodeReport(LiveAc& aircraft, StreamPos& position) {
    auto& stream = aircraft.stream;
    if (stream.size() > kMaxStreamPositions) {
        removeAircraftFromSim(aircraft);
        return;
    }
    if (aircraft.holdFlag != 0 && !stream.empty()) {
        const double metres =
            gf_greatCircleDistance(pointOf(position), pointOf(stream.front())) * kMetresPerNm;
        if (metres > HOLDING_THRESHOLD_METERS.get()) {
            aircraft.holdFlag = 0;
            aircraft.holdStart = 0;
            removeAircraftFromSim(aircraft);
            return;
        }
    }
    if (aircraft.phase == AcPhase::birth) {
        if (!stream.empty() && lf_acceptNewPos(aircraft, position)) {
            keepDueAfterLast(aircraft, position);
            stream.push_back(position);
        }
        return;
    }
    if (checkExtendingSituations(aircraft, position)) {
        appendReport(aircraft, position);
    }
}

} // namespace

void decodeExisting(LiveAc& aircraft, StreamPos position) {
    try {
        decodeReport(aircraft, position);
    } catch (const std::exception& error) {
        gf_logText(fmt::format("{} exception {}", "decodeExisting", error.what()));
        throw;
    }
}

bool lf_acceptNewPos(LiveAc& aircraft, StreamPos& position) {
    if (aircraft.stream.empty()) {
        position.stationary = 0;
        return aircraft.kind == AcKind::Rotorcraft || position.groundSpeed != 0.0 ||
               (aircraft.takeOffRoll == 0 && position.airborne == 0);
    }
    const StreamPos& last = aircraft.stream.back();
    position.stationary = samePosition(position, last) ? 1 : 0;
    if (aircraft.kind == AcKind::Rotorcraft) {
        return true;
    }
    const bool rolling = aircraft.takeOffRoll != 0 && position.groundSpeed > 0.0;
    if (position.stationary != 0) {
        if (refusedInTheAir(aircraft, position) || (rolling && last.groundSpeed >= 30.0)) {
            return false;
        }
        position.groundSpeed = 0.0;
        return true;
    }
    if (std::fabs(position.latitude - last.latitude) <= kJitterDegrees &&
        std::fabs(position.longitude - last.longitude) <= kJitterDegrees) {
        if (refusedInTheAir(aircraft, position) || (rolling && last.groundSpeed >= 50.0)) {
            return false;
        }
        position = last;
        position.groundSpeed = 0.0;
        position.stationary = 1;
        return true;
    }
    if (position.groundSpeed != 0.0 || (aircraft.takeOffRoll == 0 && position.airborne == 0)) {
        return true;
    }
    return last.groundSpeed < 50.0;
}

bool lf_samePoint(const GeoPoint& one, const GeoPoint& other) {
    return std::fabs(one.lat - other.lat) < kSamePointDegrees &&
           std::fabs(one.lon - other.lon) < kSamePointDegrees;
}

void lf_endPrediction(LiveAc& aircraft) {
    aircraft.timingMode = 0;
    aircraft.earlyWindow = 3000;
    aircraft.lateWindow = aircraft.takeOffRoll != 0 ? 5000 : 3000;
}

void narrowWindows(LiveAc& aircraft) {
    constexpr std::int32_t narrowest = 1000;
    constexpr std::int32_t step = 100;
    for (std::int32_t* window : {&aircraft.earlyWindow, &aircraft.lateWindow}) {
        if (*window > narrowest) {
            *window = std::max(narrowest, *window - step);
        }
    }
}

double headToNextNm(const LiveAc& aircraft) {
    return gf_greatCircleDistance(pointOf(aircraft.stream[0]), pointOf(aircraft.stream[1]));
}

} // namespace zeph
