#pragma once
#include "traffic/records.h"

// Respawning of live aircraft whose identity changes.

namespace zeph {

// Decides whether a report of a known aircraft is taken; may start a respawn on the way.
bool lf_respawnCheck(LiveAc& aircraft, const TrafficReport& report);

} // namespace zeph
