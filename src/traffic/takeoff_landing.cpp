#include <algorithm>
#include <array>

#include <fmt/format.h>

#include "core/geodesy.h"
#include "core/log.h"
#include "model/flight_texts.h"
#include "sim/commands.h"
#include "traffic/flight_motion.h"
#include "traffic/motion_lights.h"
#include "traffic/park_airport_status.h"
#include "traffic/position_stream.h"
#include "traffic/stream_geometry.h"
#include "traffic/traffic_tables.h"

// The take-off from the roll to the climb-out, and the flare down to touch-down.

namespace zeph {
namespace {

constexpr double kFlarePitch = -4.0 * kDegToRad;
constexpr std::int32_t kGearUpCountdown = -300;
constexpr std::int32_t kLowestCountdown = -1000;
constexpr double kThrottleUpHeight = 800.0;

// Share of the altitude step flown at a point of the take-off countdown after the rotation.
double climbShare(std::int32_t countdown) {
    if (countdown == 0) {
        return 0.0;
    }
    if (countdown >= -99) {
        return 0.1;
    }
    if (countdown >= -199) {
        return 0.2;
    }
    if (countdown >= -299) {
        return 0.5;
    }
    return 1.0;
}

void afterRotation(LiveAc& aircraft) {
    PositionBlock& block = aircraft.position;
    block.bank = wrapToPi(block.bank + aircraft.bankStep);
    if (block.pitch > aircraft.climbPitch) {
        const double passes = std::max(aircraft.climbPitchPasses, 1U);
        block.pitch += (aircraft.climbPitch - aircraft.rotationPitch) / passes;
    }
    const std::int32_t countdown = aircraft.phaseCountdown;
    block.altitude += climbShare(countdown) * aircraft.altitudeStep;
    if (countdown == kGearUpCountdown) {
        gf_setGear(aircraft, 0);
    }
    if (countdown >= kGearUpCountdown || block.pitch > aircraft.climbPitch) {
        return;
    }
    aircraft.pitchStep = 0.0;
    if (aircraft.heightAboveGround >= kThrottleUpHeight) {
        gf_setThrottle(aircraft, aircraft.kind == AcKind::Rotorcraft ? 4U : 3U);
        lf_setPhase(aircraft, AcPhase::flying);
        aircraft.phaseCountdown = 1;
    }
}

void takeOffPass(LiveAc& aircraft) {
    aircraft.phaseCountdown = std::max(aircraft.phaseCountdown - 1, kLowestCountdown);
    if (aircraft.phaseCountdown >= 1) {
        aircraft.onGround = 0;
        if (aircraft.position.pitch > aircraft.rotationPitch) {
            aircraft.position.pitch += aircraft.pitchStep;
        }
        return;
    }
    afterRotation(aircraft);
}

struct FlareStage {
    double aboveCg; // feet above the standing CG height that start the stage
    double altitudeStep;
    double verticalRate;
};

constexpr std::array<FlareStage, 4> kFlareStages{{
    {30.0, -0.1, -601.0},
    {20.0, -0.075, -450.0},
    {10.0, -0.05, -300.0},
    {3.0, -0.025, -150.0},
}};

// The flare height from the park airport's altitude when there is one, else the height above ground.
double flareCheckHeight(LiveAc& aircraft) {
    if (aircraft.elevationKnown == 0 && !parkAirportRecord.code.empty()) {
        aircraft.touchDownElevation = parkAirportRecord.altitude;
        aircraft.elevationKnown = 1;
    }
    aircraft.flareHeight = aircraft.elevationKnown != 0
                               ? aircraft.position.altitude - aircraft.touchDownElevation
                               : aircraft.heightAboveGround;
    return std::min(aircraft.heightAboveGround, aircraft.flareHeight);
}

void flareStep(LiveAc& aircraft) {
    const std::uint32_t stage = aircraft.landingStage;
    if (stage >= kFlareStages.size()) {
        return;
    }
    const FlareStage& next = kFlareStages[stage];
    const double height = stage == 0 ? flareCheckHeight(aircraft) : aircraft.heightAboveGround;
    if (height > aircraft.staticCgHeight + next.aboveCg) {
        return;
    }
    if (stage == 0) {
        const double passes = std::max(aircraft.flarePasses, 1U);
        aircraft.pitchStep = (kFlarePitch - aircraft.position.pitch) / passes;
        landingFlare = true;
    } else {
        aircraft.elevationKnown = 0;
    }
    if (stage == 2) {
        gf_setThrottle(aircraft, 0);
    }
    aircraft.altitudeStep = next.altitudeStep;
    if (!aircraft.stream.empty()) {
        aircraft.stream[0].verticalRate = next.verticalRate;
    }
    aircraft.landingStage = stage + 1;
}

void attitudeStep(LiveAc& aircraft) {
    PositionBlock& block = aircraft.position;
    if (aircraft.touchDownEasing != 0) {
        block.pitch += aircraft.pitchStep;
        if (block.pitch > aircraft.staticPitch) {
            block.pitch = aircraft.staticPitch;
            aircraft.pitchStep = 0.0;
            block.bank = 0.0;
            aircraft.bankStep = 0.0;
            aircraft.touchDownEasing = 0;
            aircraft.landingStage = 0;
        }
        block.bank += aircraft.bankStep;
    } else if (aircraft.landingStage != 0) {
        block.bank = wrapToPi(block.bank + aircraft.bankStep);
        block.pitch = std::max(block.pitch + aircraft.pitchStep, kFlarePitch);
        block.altitude += aircraft.altitudeStep;
    } else if (aircraft.onGround != 0) {
        block.pitch = aircraft.staticPitch;
        block.bank = 0.0;
    } else {
        block.bank += aircraft.bankStep;
        block.pitch += aircraft.pitchStep;
        block.altitude += aircraft.altitudeStep;
    }
}

} // namespace

void lf_towedTakesOff(LiveAc& aircraft) {
    if (aircraft.towed != 0) {
        gf_logLine(fmt::format("towed aircraft takes-off? {}", gf_acLogPrefix(aircraft)));
    }
    aircraft.takeOffRoll = 1;
    gf_setThrottle(aircraft, 0);
    gf_setSpoilers(aircraft, 0);
    gf_setFlaps(aircraft, 1);
    aircraft.approach = 0;
    aircraft.landed = 0;
    aircraft.climbOutDone = 0;
    gf_setLights(aircraft.objectId, kLightsTakeOff);
    aircraft.lateWindow = 5000;
    aircraft.earlyWindow = 3000;
}

void lf_takeOffStep(LiveAc& aircraft) {
    aircraft.phaseCountdown = static_cast<std::int32_t>(std::max(aircraft.rotationPasses, 1U));
    aircraft.position.bank = 0.0;
    aircraft.bankStep = 0.0;
    aircraft.pitchStep = (aircraft.rotationPitch - aircraft.position.pitch) / aircraft.phaseCountdown;
    if (aircraft.takeOffRoll == 0) {
        lf_towedTakesOff(aircraft);
    }
    lf_setPhase(aircraft, AcPhase::take_off);
    aircraft.onGround = 0;
    aircraft.headingStep = 0.0;
    lf_clearCurve(aircraft);
    if (aircraft.landingRoll != 0) {
        // A touch and go: the landing roll's spoilers go back in for the climb.
        aircraft.landingRoll = 0;
        aircraft.approach = 0;
        aircraft.landed = 0;
        gf_setThrottle(aircraft, 4);
        gf_setSpoilers(aircraft, 0);
        gf_setFlaps(aircraft, 1);
    }
}

void lf_verticalStep(LiveAc& aircraft) {
    if (aircraft.phase == AcPhase::take_off) {
        takeOffPass(aircraft);
        return;
    }
    if (aircraft.heightAboveGround <= 400.0 && aircraft.approach != 0 && aircraft.onGround == 0) {
        flareStep(aircraft);
    }
    attitudeStep(aircraft);
}

} // namespace zeph
