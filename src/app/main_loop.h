#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

#include "state/run_state.h"

// The heart of a run, on the start-up thread, which from here on is the traffic thread: it brings the
// simulator link and the RealTraffic link up in a fixed order, waits for the first traffic, and then makes a
// pass every 10 ms until the run is asked to end. The simulator's one-second event drives the seconds
// schedule (seconds_schedule.h).

namespace zeph {

// The threads the main loop starts and owns. Each is stopped and joined before the next run starts one
// again, by the closing down, and at the latest before the program ends.
extern std::jthread simClientThread;
extern std::jthread qnhReaderThread;
extern std::jthread trafficReaderThread;

// The traffic thread's own state of the flight.
extern bool flightNotRunning;            // from the first pass without a running flight to the next event
extern std::int32_t notRunningCountdown; // passes counted down while no flight runs
extern bool staticRenewalStarted;        // the first phase of a renewal is done

// Runs the loop; returns when the run ends or cannot start. The result is not used.
bool lf_mainLoop();

// One pass; false when the loop must end. A running flight (simConnected and no simConnectError) gets the
// traffic pass and, when a one-second event is pending, the seconds schedule; otherwise lf_flightNotRunning.
// The stop flags end the loop on every pass: right after the traffic pass of a pass without an event, after
// the one-second work of a pass with one, and on every pass while no flight runs.
bool lf_mainLoopTick();

// Asks the simulator link's client thread to stop and joins it; nothing when none runs.
void stopSimClientThread();
// Sets both readers' stop flags and joins their threads.
void stopReaderThreads();

} // namespace zeph
