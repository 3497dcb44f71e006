#pragma once
#include <cstdint>

// Services of the live table for the window and the live limit: the farthest aircraft, the parked count
// with its mean parked time, and the callsign list of the CALLSIGN_2_OBJECTID combo.

namespace zeph {

// Takes the active live aircraft farthest from the user aircraft out of the simulator when it is more than
// 0.1 nm beyond distanceNm (of two within 0.1 nm of each other the earlier in the table is chosen). True when
// no active aircraft is that far, so nothing was removed. Traffic thread.
bool lf_removeFarthestLive(double distanceNm);

// Counts the active live aircraft parked at a stand. With parked hours it also keeps the mean parked time
// (sum of half hours since each parking slot / (2 x count) + 0.5 hours, 0 without aircraft) in
// liveAverageFit and repaints the counters when it changed. Traffic thread.
std::int64_t lf_countLiveForDisplay(bool withParkedHours);

// The callsign list becomes one empty entry, the selected callsign empty; the combo is refilled and the
// combo and "Block" are disabled. Any thread: the list is written under its mutex and the controls are
// reached through the window port.
void lf_resetCallsignList();

// The callsign list becomes the callsigns of the active live aircraft that are not parked, in byte order;
// the combo is refilled and enabled with "Block" when the list is not empty, "Unblock" is disabled.
// 1 when the list is not empty, else 0. Traffic thread.
int lf_refreshCallsignList();

// RealTraffic has gone, so its traffic leaves the simulator: created aircraft are removed, queued ones lose
// their request and their record, ones whose request is already with the simulator go when it is created.
// Registered with the RealTraffic server at start. Traffic thread.
void lf_takeLiveTrafficOut();

} // namespace zeph
