#pragma once
#include <cstdint>

#include "traffic/records.h"

// The learned use of the park airport's stands. A minimal stand-in until stand learning lands.

namespace zeph {

// Looks for the callsign coupled with the aircraft's around the week slot (packed as currentWeekSlot).
void lf_searchForCoupledCsAroundThisTime(std::uint64_t weekSlot, LiveAc& aircraft);

} // namespace zeph
