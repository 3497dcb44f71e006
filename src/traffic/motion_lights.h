#pragma once
#include "sim/commands.h"

// The light sets the motion rules switch to, in the order of LightSlot.

namespace zeph {

// Leaving a stand, by push back or pulling out: nav, beacon, taxi and logo on.
inline constexpr LightSet kLightsLeaveStand{1, 1, 0, 1, 0, 1, 0};
// Off the runway after landing: as leaving a stand, with the cabin lit.
inline constexpr LightSet kLightsRunwayExit{1, 1, 0, 1, 0, 1, 1};
// The take-off roll: all outside lights on, the cabin dark.
inline constexpr LightSet kLightsTakeOff{1, 1, 1, 1, 1, 1, 0};
// In the air below 10000 ft.
inline constexpr LightSet kLightsAllOn{1, 1, 1, 1, 1, 1, 1};
// At 10000 ft or above: nav, beacon and cabin.
inline constexpr LightSet kLightsHigh{1, 1, 0, 0, 0, 0, 1};

} // namespace zeph
