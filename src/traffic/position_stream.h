#pragma once
#include <cstddef>

#include "traffic/records.h"

// The stream of reported positions a live aircraft flies along.

namespace zeph {

// A stream never grows past this many positions; one more report removes the aircraft instead.
inline constexpr std::size_t kMaxStreamPositions = 200;

// Appends a new report's position to a known aircraft's stream, after the intake's filters. A stream already
// past kMaxStreamPositions removes the aircraft from the simulator and takes nothing. A position not due
// after the last one is made due one pass after it, so due passes never go backwards.
// Minimal body: the motion rules (holding, stationary tails, take-off detection) complete it.
void decodeExisting(LiveAc& aircraft, StreamPos position);

} // namespace zeph
