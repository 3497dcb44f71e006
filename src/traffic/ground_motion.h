#pragma once
#include "traffic/records.h"

// Ground motion of live aircraft: the set-up and timing of ground segments and the horizontal part of the
// per-pass step. Traffic thread only.

namespace zeph {

// Set-up of a ground segment, before its steps are set.
void nextPosGround(LiveAc& aircraft);
// Due pass of position 1 for a ground segment.
void lf_groundSegmentTiming(LiveAc& aircraft);
// Phase and speeds of a moving ground segment, after its latitude and longitude steps are set.
void lf_groundMoveStep(LiveAc& aircraft);
// Moves the aircraft one pass along its segment, then keeps the position on the globe.
void lf_curveStep(LiveAc& aircraft);

} // namespace zeph
