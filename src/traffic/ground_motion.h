#pragma once
#include "model/records.h"

// Ground motion of live aircraft: the set-up and timing of ground segments, taxi turns as curves, turns in
// place, the splitting of long turns and speed changes, the take-off and landing rolls, and the horizontal
// part of the per-pass step. Traffic thread only.

namespace zeph {

// Set-up of a ground segment, before its steps are set; an exception is logged and passed on.
void nextPosGround(LiveAc& aircraft);
// Due pass of position 1 for a ground segment, with the turn rate that fits its turn into it.
void lf_groundSegmentTiming(LiveAc& aircraft);
// Phase, levers, attitude and speeds of a moving ground segment, after its latitude and longitude steps are
// set; starts the rotation when the take-off roll is fast enough.
void lf_groundMoveStep(LiveAc& aircraft);
// Moves the aircraft one pass along its curve or segment, then keeps the position on the globe.
void lf_curveStep(LiveAc& aircraft);

// The turn from the aircraft's heading to the bearing 1 -> 2, radians in (-pi, pi]; 0 with fewer than three
// positions.
double lf_turnAhead(const LiveAc& aircraft);
// Every position after the head is at or above the kind's rotation speed.
bool lf_allAboveRotationSpeed(const LiveAc& aircraft);
// A position half way between the head and position 1.
void lf_insertMidpoint(LiveAc& aircraft);
// A midpoint where the speed changes by more than 5 kt over 100 m or more.
void lf_splitOnSpeedChange(LiveAc& aircraft);

} // namespace zeph
