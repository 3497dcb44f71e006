#include "traffic/stand_parking.h"

#include <fmt/format.h>

#include "state/seam_trace.h"

namespace zeph {

// Minimal stand-ins until the parking lands.
void lf_parksAt(LiveAc& aircraft) { noteSeamCall(fmt::format("lf_parksAt {}", aircraft.hexid)); }

// Does nothing until the parking lands: the dry stream's parked prediction keeps the aircraft in place.
void lf_arrivedAtStand(LiveAc& /*aircraft*/) {}

void lf_clearCargoStand(LiveAc& aircraft) { noteSeamCall(fmt::format("lf_clearCargoStand {}", aircraft.hexid)); }

} // namespace zeph
