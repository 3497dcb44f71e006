#pragma once
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <vector>

#include "traffic/records.h"
#include "traffic/static_plan.h"

// The traffic tables. They belong to the traffic thread, except the adding stack, which the Traffic Reader
// fills under its mutex.

namespace zeph {

extern std::vector<LiveAc> liveAcTable;
extern std::vector<StaticAc> staticAcTable;
extern std::vector<StaticPlanEntry> staticPlan;

// Reports waiting for the traffic pass, and whether new ones are taken; both guarded by addingStackMutex.
extern std::deque<TrafficReport> addingStack;
extern std::mutex addingStackMutex;
extern bool trafficAccepting;

// Hexids waiting for the coupled-callsign and same-registration check; the one-second step takes one a
// second.
extern std::list<std::uint32_t> coupleCheckList;

// Passes since the process started; never reset.
extern std::int64_t tickCounter;

// Room for the tables at the start of the main loop.
void lf_reserveTrafficTables();
// Empties every table and queue and resets the run values of the neighbours, before a restart.
// tickCounter is kept.
void lf_clearTrafficTables();

// trafficAccepting under its mutex.
void setTrafficAccepting(bool accepting);
bool isTrafficAccepting();

} // namespace zeph
