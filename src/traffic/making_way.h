#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "airports/stands.h"

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

// The id of the stand with this number for log lines: "sid==0?" for 0, "sid==?" when no stand has it.
std::string lf_standText(std::uint32_t standNumber);
// Clears the stand a live aircraft is to be placed on of the aircraft in its way.
void lf_makeWay(LiveAc& aircraft, const ParkPos& stand);
// Removes the ghost of a callsign that is reported again.
void lf_ghostCheck(const std::string& callsign);

} // namespace zeph
