#pragma once
#include "traffic/records.h"

// Flight motion of live aircraft: the timing and steps of air segments, the take-off and the vertical part
// of the per-pass step. Traffic thread only.

namespace zeph {

// Due pass of position 1 for a segment in the air; a hovering rotorcraft is timed as on the ground.
void lf_airSegment(LiveAc& aircraft);
// Altitude, pitch, bank and heading steps of an air segment, after the latitude and longitude steps.
void lf_flyStep(LiveAc& aircraft);
// The take-off roll begins.
void lf_towedTakesOff(LiveAc& aircraft);
// The take-off roll's speeds call for the rotation: the take-off begins.
void lf_takeOffStep(LiveAc& aircraft);
// The vertical part of the per-pass step: attitude and altitude.
void lf_verticalStep(LiveAc& aircraft);

} // namespace zeph
