#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "airports/stands.h"
#include "core/geodesy.h"

#include "model/records.h"

// Which of two aircraft gives way: a static aircraft for a live one that parks at or next to its stand,
// collides with it or is the same aircraft; a ghost (callsign + '_') for the live aircraft with its callsign.
// Every rule removes the loser and writes one log line. Traffic thread.

namespace zeph {

// Callsigns X_ of the ghosts removed in this run; emptied before a restart.
extern std::vector<std::string> ghostCallsigns;

// A live aircraft parked at a stand, for the parking adjustments.
struct ParkedLive {
    std::string callsign;
    std::int64_t unused = 0;
    std::uint32_t standNumber = 0;
    std::int32_t minutes = 0;
};
// Filled by lf_listParkedLive, shortest parked first.
extern std::vector<ParkedLive> liveParkedList;

// Two aircraft with these half spans (nm) are too close: at most 1.1 times their sum apart.
bool lf_tooClose(const GeoPoint& a, const GeoPoint& b, double radiusA, double radiusB);

// The first active static aircraft (another callsign) too close to a taxiing live aircraft is removed.
void lf_collisionWithStatic(LiveAc& aircraft);
// Removes the first active static aircraft with the live registration, or the same or coupled callsign.
void lf_sameRegcodeOrCoupled(LiveAc& aircraft, bool onGround);
// Removes every static aircraft, withdrawing the requests still queued.
void lf_removeAllStatic();
// Clears the stand reserved for the user: its static aircraft, else its parked live aircraft.
void lf_clearReservedStand();
// Removes one active static aircraft that is the twin (callsign + '*' or registration) of a live one on the
// ground.
void lf_removeStaticTwinOfLive();
// Fills liveParkedList; live aircraft parked too long are removed instead.
void lf_listParkedLive();

// The id of the stand with this number for log lines: "sid==0?" for 0, "sid==?" when no stand has it.
std::string lf_standText(std::uint32_t standNumber);
// Clears the stand a live aircraft is to be placed on of the static aircraft in its way, there and next to
// it.
void lf_makeWay(LiveAc& aircraft, const ParkPos& stand);
// Removes one active static aircraft on an adjacent stand too close to the stand being taken.
void lf_makeWayAtExcludedStand(LiveAc& aircraft, std::uint32_t adjacentNumber, const ParkPos& stand);
// Removes the ghost of a callsign that is reported again.
void lf_ghostCheck(const std::string& callsign);

} // namespace zeph
