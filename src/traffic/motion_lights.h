#pragma once
#include "sim/commands.h"

// The light sets the motion rules switch to, in the order of LightSlot.

namespace zeph {

// Leaving a stand, by push back or pulling out: nav, beacon, taxi and logo on.
inline constexpr LightSet kLightsLeaveStand{1, 1, 0, 1, 0, 1, 0};
// Off the runway after landing: as leaving a stand, with the cabin lit.
inline constexpr LightSet kLightsRunwayExit{1, 1, 0, 1, 0, 1, 1};

} // namespace zeph
