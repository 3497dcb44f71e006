#pragma once
#include "core/geodesy.h"
#include "model/records.h"

// Leaving a stand once the reports show a parked aircraft moving off it: backwards by push back, or forwards
// by pulling out. Traffic thread only.

namespace zeph {

// Straight back 2.5 stand radii from the stand, with the two possible ends of a curved last piece; nothing
// when the aircraft's stand is not in the stand list.
void lf_pushBack(LiveAc& aircraft);
// Forwards to two aircraft radii ahead of the stand; the aircraft taxis.
void lf_pullOut(LiveAc& aircraft);

// A parked aircraft whose reports lie off this many degrees from its stand heading (-180..180), rounded to a
// whole degree, pulls out below 90 in magnitude; otherwise it pushes back.
bool lf_leavesForwards(double offDegrees);

// The aircraft's stand: the stand list's entry when there is one, else the place it was given at the spawn.
struct StandPlace {
    GeoPoint point;
    double heading = 0.0; // radians
};
StandPlace lf_standPlace(const LiveAc& aircraft);

} // namespace zeph
