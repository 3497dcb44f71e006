#include "traffic/stand_parking.h"

#include <fmt/format.h>

#include "state/seam_trace.h"

namespace zeph {

// Minimal stand-ins until the parking lands.
void lf_parksAt(LiveAc& aircraft) { noteSeamCall(fmt::format("lf_parksAt {}", aircraft.hexid)); }

// Does nothing until the parking lands: the dry stream's parked prediction keeps the aircraft in place.
void lf_arrivedAtStand(LiveAc& /*aircraft*/) {}

void lf_clearCargoStand(LiveAc& aircraft) { noteSeamCall(fmt::format("lf_clearCargoStand {}", aircraft.hexid)); }

// minimal stand-in until parking lands
void try2Park(LiveAc& /*aircraft*/, std::uint8_t landed) { noteSeamCall(fmt::format("try2Park {}", landed)); }

} // namespace zeph
