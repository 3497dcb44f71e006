#pragma once
#include <cstdint>

// The work of the main loop by the simulator's seconds, on the traffic thread.

namespace zeph {

// Every one-second event of a running flight: status timeout, counters, week slot, the seconds counter, one
// couple check, the window's requests and the collision rules.
void lf_flightRunningSecond();

// A pass while no flight runs (or the simulator link has failed): intake off on the first such pass, the
// simulator's results every pass, and every 100 passes the five-second step, the user position for
// RealTraffic, the counters and the week slot.
void lf_flightNotRunning();

// The five-second step: a pending "Re-read" request, unless a renewal is being planned.
void lf_every5Seconds();

// The fifteen-second step: the renewal phases, the silent-reader check, and on multiples of 30, 60, 1200
// and 86,400 seconds their work. The parameter is not used; it reads secondsCounter.
void lf_every15Seconds(int seconds);

// Forgets the user position of the last collision test against static aircraft (reset before a restart).
void resetUserCollisionPosition();

} // namespace zeph
