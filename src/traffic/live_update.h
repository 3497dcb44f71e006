#pragma once
#include "traffic/records.h"

// The per-pass update of one live aircraft.

namespace zeph {

// Moves the aircraft one pass on and puts its position into the write half of positionBuffers. Returns
// whether the record may be erased.
bool updateLiveAc(LiveAc& aircraft);

} // namespace zeph
