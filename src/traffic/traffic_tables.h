#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <vector>

#include "model/records.h"
#include "model/sim_records.h"
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

// Hexids of live records whose creation request is to be built; used as a stack, one taken a pass.
extern std::vector<std::uint32_t> acIdsToAdd;
// Creation requests waiting for their turn with the simulator link, live and static aircraft apart.
extern std::deque<AiCreateRequest> liveAddQueue;
extern std::deque<AiCreateRequest> staticAddQueue;
// Object ids whose removal is to be asked of the simulator.
extern std::deque<std::uint32_t> removalQueue;

// Hexids waiting for the coupled-callsign and same-registration check; the one-second step takes one a
// second.
extern std::list<std::uint32_t> coupleCheckList;

// Passes since the process started; never reset. 64 bits, so it cannot overflow in any run length.
// Atomic because the Traffic Reader reads it to stamp due passes while the traffic pass counts on.
extern std::atomic<std::int64_t> tickCounter;

// A live aircraft is in its landing flare: the aircraft around the user are asked for more often.
extern bool landingFlare;

// Room for the tables at the start of the main loop.
void lf_reserveTrafficTables();
// Empties every table and queue and resets the run values of the neighbours, before a restart.
// tickCounter is kept.
void lf_clearTrafficTables();

// The live aircraft with this hexid, or null. Traffic thread only.
LiveAc* gf_findLiveAc(std::uint32_t hexid);

// The most reports the adding stack holds: 30 s of what the traffic pass takes (2 a pass). A flood from the
// network must not eat the memory; reports beyond it are discarded and counted.
inline constexpr std::size_t kAddingStackLimit = 6000;

// Puts a report on the adding stack, due 3000 passes (30 s) from now, when traffic is taken and the stack
// has room; otherwise the report is dropped. Returns whether it was taken. Any thread.
bool gf_pushTrafficReport(TrafficReport&& report);
// Reports discarded because the adding stack was full, since the process started.
std::uint64_t discardedReports();

// The clock of the discard lines; an empty function puts steady_clock::now back.
void setDiscardClockForTests(std::function<std::chrono::steady_clock::time_point()> clock);

// trafficAccepting under its mutex.
void setTrafficAccepting(bool accepting);
bool isTrafficAccepting();

} // namespace zeph
