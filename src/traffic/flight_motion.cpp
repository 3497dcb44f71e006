#include "traffic/flight_motion.h"

#include "state/seam_trace.h"
#include "traffic/ground_motion.h"
#include "traffic/position_stream.h"

namespace zeph {

// Minimal until the flight motion lands: straight segments at the reported speeds, no configuration.

void lf_airSegment(LiveAc& aircraft) {
    if (aircraft.stream[1].stationary != 0) {
        lf_groundSegmentTiming(aircraft);
        return;
    }
    lf_setNextDue(aircraft, lf_travelPasses(headToNextNm(aircraft), lf_segmentSpeed(aircraft)));
}

void lf_flyStep(LiveAc& aircraft) {
    if (aircraft.phase != AcPhase::take_off && aircraft.phase != AcPhase::flying) {
        lf_setPhase(aircraft, AcPhase::flying);
    }
    const StreamPos& next = aircraft.stream[1];
    aircraft.segmentTrueAirspeed = next.trueAirspeed;
    aircraft.segmentVerticalRate = next.verticalRate;
    const auto passes = static_cast<double>(lf_segmentPasses(aircraft));
    aircraft.altitudeStep = (next.altitude - aircraft.position.altitude) / passes;
    aircraft.pitchStep = 0.0;
    aircraft.bankStep = 0.0;
    aircraft.headingStep = 0.0;
}

void lf_towedTakesOff(LiveAc& aircraft) { aircraft.takeOffRoll = 1; }

// minimal stand-in until flight motion lands
void lf_takeOffStep(LiveAc& aircraft) {
    noteSeamCall("lf_takeOffStep");
    lf_setPhase(aircraft, AcPhase::take_off);
    aircraft.onGround = 0;
}

void lf_verticalStep(LiveAc& aircraft) {
    PositionBlock& block = aircraft.position;
    if (aircraft.onGround != 0) {
        block.pitch = aircraft.staticPitch;
        block.bank = 0.0;
        return;
    }
    block.bank += aircraft.bankStep;
    block.pitch += aircraft.pitchStep;
    block.altitude += aircraft.altitudeStep;
}

} // namespace zeph
