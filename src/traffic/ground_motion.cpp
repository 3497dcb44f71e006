#include "traffic/ground_motion.h"

#include <algorithm>
#include <cmath>

#include <gsl/narrow>

#include "traffic/flight_motion.h"
#include "traffic/position_stream.h"
#include "traffic/stream_geometry.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

// Latitude and longitude back on the globe: longitude into -180..180, a latitude beyond a pole mirrored to
// the other side of it.
void keepOnGlobe(PositionBlock& block) {
    if (block.latitude > 90.0) {
        block.latitude = 180.0 - block.latitude;
        block.longitude += 180.0;
    } else if (block.latitude < -90.0) {
        block.latitude = -180.0 - block.latitude;
        block.longitude += 180.0;
    }
    block.longitude = wrapTo180(block.longitude);
}

bool turnsWhileMoving(AcPhase phase) {
    return phase == AcPhase::take_off || phase == AcPhase::flying || phase == AcPhase::parked ||
           phase == AcPhase::birth;
}

} // namespace

// Minimal until the ground motion lands: straight segments, no turns, curves or push backs.

void nextPosGround(LiveAc& aircraft) { lf_groundSegmentTiming(aircraft); }

void lf_groundSegmentTiming(LiveAc& aircraft) {
    const StreamPos& head = aircraft.stream[0];
    const StreamPos& next = aircraft.stream[1];
    if (next.stationary == 0) {
        lf_setNextDue(aircraft, lf_travelPasses(headToNextNm(aircraft), lf_segmentSpeed(aircraft)));
        return;
    }
    // A stop lasts as long as reported, counted from the head's due pass.
    const std::int64_t stop = std::max<std::int64_t>(next.duePass - head.duePass, kShortestTravelPasses);
    const std::int64_t travel = std::max<std::int64_t>(head.duePass - tickCounter.load() + stop, kShortestTravelPasses);
    lf_setNextDue(aircraft, gsl::narrow<std::int32_t>(travel));
}

void lf_groundMoveStep(LiveAc& aircraft) {
    if (aircraft.phase == AcPhase::flying || aircraft.phase == AcPhase::parked) {
        lf_setPhase(aircraft, AcPhase::taxi);
    }
    const double speed = aircraft.stream[1].groundSpeed;
    aircraft.segmentTrueAirspeed = aircraft.phase == AcPhase::pushing_back ? -speed : speed;
}

void lf_curveStep(LiveAc& aircraft) {
    PositionBlock& block = aircraft.position;
    if (turnsWhileMoving(aircraft.phase)) {
        block.heading = intoFullCircle(block.heading + aircraft.headingStep);
    }
    if (aircraft.phase != AcPhase::pushed_back) {
        block.latitude += aircraft.latitudeStep;
        block.longitude += aircraft.longitudeStep;
    }
    lf_verticalStep(aircraft);
    keepOnGlobe(block);
}

} // namespace zeph
