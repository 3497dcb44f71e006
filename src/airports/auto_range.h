#pragma once
#include <cstdint>

// The automatic range: chosen from where the user aircraft is, so that near an airport only the traffic
// around it is shown, and high up the range widens. Any thread; callers hold no lock.

namespace zeph {

// The range the rule gives for the user aircraft: 10 nm on the ground, 100 above AR_ABOVE_HEIGHT, 40 above
// AIRP_HEIGHT, else a step of the distance to the first park airport of the list (10000 nm without one).
std::int32_t chooseAutoRange(bool onGround, double altitudeFeet, double distanceNm);

// Applies the rule's range through gf_setRange without remembering it as the user's range.
void lf_autoRange();

// AUTO_RANGE on: the rule's range; off: the user's remembered range again, and the status cleared. Then the
// RANGE combo is enabled exactly when AUTO_RANGE is off.
void lf_applyAutoRange();

} // namespace zeph
