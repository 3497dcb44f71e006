#pragma once
#include "model/records.h"

// The per-pass update of one live aircraft and the checks that decide whether a new report of a known
// aircraft extends its stream. Traffic thread only.

namespace zeph {

// Moves the aircraft one pass on and puts its position into the write half of positionBuffers. Returns
// whether the record may be erased. An exception in one aircraft's update is logged and removes that
// aircraft; it never leaves the pass.
bool updateLiveAc(LiveAc& aircraft);

// Whether a new report of a known aircraft is appended to its stream, by phase: at a stand, pushing back,
// pushed back, and on the move.
bool checkExtendingSituations(LiveAc& aircraft, StreamPos& position);
// The same decision on approach and on the landing roll, where a report behind the aircraft is refused.
bool checkNewPosDuringLanding(LiveAc& aircraft, StreamPos& position);
// The reports show a parked aircraft moving off its stand.
void lf_startLeavingStand(LiveAc& aircraft, StreamPos& position);

} // namespace zeph
