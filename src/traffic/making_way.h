#pragma once
#include <string>
#include <vector>

#include "traffic/records.h"

// Which of two aircraft gives way: static aircraft for live ones, ghosts for their live twins. A minimal
// stand-in until the making-way rules land.

namespace zeph {

// Callsigns X_ of the ghosts removed in this run; emptied before a restart.
extern std::vector<std::string> ghostCallsigns;

void lf_collisionWithStatic(LiveAc& aircraft);
void lf_sameRegcodeOrCoupled(LiveAc& aircraft, bool onGround);
void lf_removeAllStatic();
void lf_clearReservedStand();
void lf_removeStaticTwinOfLive();

} // namespace zeph
