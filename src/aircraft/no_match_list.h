#pragma once

#include "aircraft/livery_memory.h"

// The live aircraft (airline, type, registration) for which no livery was found, and the matching summary.
// Both belong to the traffic thread.

namespace zeph {

// gf_airlineTypeRegKey of each live aircraft that got no livery; such an aircraft is not matched again.
extern TextSet noMatchList;

void gf_clearNoMatchList();
// Writes the list to the log as one block; nothing for an empty list.
void gf_printNoMatchList();
// Writes the live matches per ladder step and the liveries the simulator refused, as one block; nothing
// while no live match has been accepted.
void gf_writeMatchingSummary();

} // namespace zeph
