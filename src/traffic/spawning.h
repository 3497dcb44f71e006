#pragma once
#include "traffic/records.h"

// Spawning of buffered live aircraft.

namespace zeph {

// A live record in state buffer, once a pass: decides whether and how it is created in the simulator.
void lf_handleBufferedAc(LiveAc& aircraft);

} // namespace zeph
