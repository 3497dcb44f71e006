#pragma once
#include <cstdint>
#include <list>
#include <utility>
#include <vector>

#include "model/records.h"
#include "state/run_state.h"
#include "traffic/static_plan.h"

// The traffic tables. They belong to the traffic thread.

namespace zeph {

extern std::vector<LiveAc> liveAcTable;
extern std::vector<StaticAc> staticAcTable;
extern std::vector<StaticPlanEntry> staticPlan;

// Hexids of live records whose creation request is to be built; used as a stack, one taken a pass.
extern std::vector<std::uint32_t> acIdsToAdd;
// Hexids waiting for the coupled-callsign and same-registration check; the one-second step takes one a
// second.
extern std::list<std::uint32_t> coupleCheckList;

// A live aircraft is in its landing flare: the aircraft around the user are asked for more often.
extern bool landingFlare;

// Room for the tables at the start of the main loop.
void lf_reserveTrafficTables();
// Empties every table and queue and resets the run values of the neighbours, before a restart.
// tickCounter is kept.
void lf_clearTrafficTables();

// The live aircraft with this hexid, or null. Traffic thread only.
LiveAc* gf_findLiveAc(std::uint32_t hexid);

// The live aircraft a rule finds on a stand: the first in table order with that stand number that also meets
// the rule's condition, or null. One aircraft that pushed back keeps the number until it taxis, while the
// next one may already stand there, so the number alone does not name the aircraft. Traffic thread only.
template <class Condition> LiveAc* gf_liveOnStand(std::uint32_t standNumber, Condition meets) {
    for (LiveAc& aircraft : liveAcTable) {
        if (aircraft.standNumber == standNumber && meets(std::as_const(aircraft))) {
            return &aircraft;
        }
    }
    return nullptr;
}

} // namespace zeph
