#pragma once
#include <optional>
#include <string>

#include "airports/stands.h"
#include "model/records.h"
#include "sim/sim_link.h"

// Spawning of buffered live aircraft: whether and when a new aircraft enters the simulator, with which
// livery, phase and attitude, and what its new object gets once the simulator has made it.

namespace zeph {

// A live record in state buffer, once a pass: decides whether and how it is created in the simulator.
void lf_handleBufferedAc(LiveAc& aircraft);
// True when the spawn must wait for the user aircraft; the oldest position is then dropped.
bool lf_userConflictWait(LiveAc& aircraft);
// Livery, initial phase and attitude; the record goes to adding2sim and onto acIdsToAdd.
void spawnLiveAc(LiveAc& aircraft);
// The stand the aircraft stands on, if it may take it; erases the record when another aircraft keeps it.
std::optional<ParkPos> lf_findStandForAc(LiveAc& aircraft);
// The position block, pitch, bank and heading the new object starts with.
void lf_initialAttitude(LiveAc& aircraft);
// The callsign without its last character belongs to a live aircraft that is not being removed.
bool lf_hasLiveTwin(const std::string& callsign);
// A created live object: stores its id and height, checks the parking, sends the flight plan and asks for
// the static CG. False for an object id below 3, with nothing changed.
bool lf_requestStaticCG(LiveAc& aircraft, const SimResult& result);
// Writes the aircraft's flight plan and hands it to its object, when departure and destination are known.
void lf_createFlightPlan(LiveAc& aircraft);

} // namespace zeph
