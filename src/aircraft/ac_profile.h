#pragma once
#include "model/records.h"

namespace zeph {

// Builds the profile of a flight: radius and kind from the aircraft database, the per-kind values with the
// two pitches varied at random. Hexid, livery, cargo flag, turn rate, climb step and slow taxi speed are
// the caller's.
AcProfile gf_makeAcProfile(const FlightIdentity& identity);

} // namespace zeph
