#pragma once
#include <cstdint>

#include "traffic/records.h"

// Parking of live aircraft at the park airport's stands. A minimal stand-in until the parking lands.

namespace zeph {

// A new object whose head is on the ground: the check whether it parks at a stand.
void lf_parksAt(LiveAc& aircraft);
// Frees the cargo mark of the stand an aircraft takes.
void lf_clearCargoStand(LiveAc& aircraft);
// A parking aircraft's stream ran dry: it has arrived at its stand.
void lf_arrivedAtStand(LiveAc& aircraft);
// A taxiing aircraft whose reports stop near their end hands over to the parking; landed: it touched down in
// this run.
void try2Park(LiveAc& aircraft, std::uint8_t landed);

} // namespace zeph
