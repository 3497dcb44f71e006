#pragma once
#include <cstdint>

#include "model/records.h"

// Flight motion of live aircraft: the timing and steps of air segments, the configuration by height and
// vertical rate, the take-off and the vertical part of the per-pass step. Traffic thread only.
// Pitch is negative nose up; rates are feet per minute, steps are per pass of 10 ms.

namespace zeph {

// Due pass of position 1 for a segment in the air; a hovering rotorcraft is timed as on the ground.
void lf_airSegment(LiveAc& aircraft);
// Altitude, pitch, bank and heading steps of an air segment and the configuration, after the latitude and
// longitude steps.
void lf_flyStep(LiveAc& aircraft);
// The take-off roll begins.
void lf_towedTakesOff(LiveAc& aircraft);
// The take-off roll's speeds call for the rotation: the take-off begins.
void lf_takeOffStep(LiveAc& aircraft);
// The vertical part of the per-pass step: rotation and climb-out, flare, attitude and altitude.
void lf_verticalStep(LiveAc& aircraft);

// Descent rate toward the ground, ft/min: the mean of the head's and position 1's rates corrected by the QNH,
// at most -601; -600 at 100 ft above ground or lower.
double lf_approachRate(const LiveAc& aircraft);
// Drops the ground positions before an airborne position k - 1 and aims at it; false when there is none.
bool lf_skipToAirborne(LiveAc& aircraft, int k);
// Bank step toward the bank of a turn, within the kind's largest bank and bank step.
void lf_setBankStep(LiveAc& aircraft, double turn, std::int64_t passes);
// Leaving the ground toward an airborne position: climb to it, no faster than the climb step.
void lf_liftOffClimb(LiveAc& aircraft);
// Lights, throttle, gear and flaps below 10000 ft.
void lf_lowLevelStep(LiveAc& aircraft);
// At or below the climb-out height: the climb-out configuration, or the start of the approach.
void lf_lowAltitudeStep(LiveAc& aircraft);

// Feet per minute to feet per pass.
inline constexpr double kFpmPerFootPerPass = 6000.0;

} // namespace zeph
