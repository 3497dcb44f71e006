#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "model/records.h"

// The queue of accepted traffic reports: the Traffic Reader fills it under its mutex, the traffic pass takes
// from it.

namespace zeph {

// Reports waiting for the traffic pass, and whether new ones are taken; both guarded by addingStackMutex.
extern std::deque<TrafficReport> addingStack;
extern std::mutex addingStackMutex;
extern bool trafficAccepting;

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
