#pragma once
#include <cstdint>

#include "model/records.h"

// Respawning of live aircraft whose identity changes: a new callsign, a registration with another livery or
// operator, a new or filled-in route. The aircraft is taken out of the simulator and created again from where
// it is. Traffic thread.

namespace zeph {

// Decides whether a report of a known aircraft is taken; may start a respawn on the way (then false).
bool lf_respawnCheck(LiveAc& aircraft, const TrafficReport& report);
// A buffered record takes every part of the report's identity that is not empty.
void lf_updateBufferedIdentity(LiveAc& aircraft, const TrafficReport& report);
// Fills in or takes a new route; false when anything was filled in or changed.
bool lf_updateRoute(LiveAc& aircraft, const TrafficReport& report);
// Takes the report's registration; 0 when the aircraft must respawn for it, else 1.
std::int32_t lf_updateRegistration(LiveAc& aircraft, const TrafficReport& report);
// The registration brings another livery (or airline and type); true when the identity changed.
bool lf_regLiveryChange(LiveAc& aircraft, const TrafficReport& report);
// The registration belongs to the operator the callsign names; true when the identity changed.
bool lf_regOperatorChange(LiveAc& aircraft, const TrafficReport& report);
// The livery is chosen anew at the next spawn.
void lf_forgetLivery(LiveAc& aircraft);
// Takes the aircraft out of the simulator to be created again at its current place.
void liveryRespawn(LiveAc& aircraft);

} // namespace zeph
