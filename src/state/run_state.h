#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/geodesy.h"
#include "core/half_hours.h"

// The run's flags that several threads share: the seconds schedule's clock and the window's requests, which
// the traffic thread serves, and the folders a run found at its start.

namespace zeph {

// Set by the simulator link at each answer to its once-a-second request; taken by a pass.
extern std::atomic<bool> oneSecondPending;
// One-second events of a running flight since the loop started; back to 0 at each multiple of 86,400.
extern std::atomic<std::int32_t> secondsCounter;
// Weekday and half-hour slot of the traffic clock, packed by packWeekSlot.
extern std::atomic<std::uint64_t> currentWeekSlot;
// Minutes to the next automatic static-parking renewal, counted down once a minute by the seconds schedule;
// the park-airport check and "Now" set it to 20. The window's renewal note shows this very number.
extern std::atomic<std::int32_t> renewalCountdown;
// Any thread: the countdown becomes minutes and the settings area, where the note is drawn, is repainted.
void setRenewalCountdown(std::int32_t minutes);
// The minute step, as one atomic update so that a "Now" press (20) meanwhile is never overwritten: one
// minute less, and 20 again when none is left. Returns the minutes left by the step, below 1 when the
// renewal is due. Repaints like setRenewalCountdown.
std::int32_t stepRenewalCountdown();

// The window's requests, served by the seconds schedule (atomic exchanges).
extern std::atomic<bool> rereadRequest;
extern std::atomic<bool> flushStaticRequest;
extern std::atomic<bool> callsignListRequest;
extern std::atomic<bool> blockingChanged;
extern std::atomic<bool> matchingDepthRaised;
extern std::atomic<bool> staticRenewNow;
// The user ticked SCAN_LIVERIES or SCAN_AIRPORTS in the window during this run: the scan is asked for the
// next start, and a restart after an error keeps the box. The reset before a restart clears them; the ticked
// box itself carries the request into the new run, whose scan unticks it.
extern std::atomic<bool> liveryScanAsked;
extern std::atomic<bool> airportScanAsked;
// A static flush turned INITIAL_LOAD_ONLY on for the stay at the park airport: its learned file keeps the
// value from before (false). The user's own tick or untick, and leaving the airport, clear it.
extern std::atomic<bool> initialLoadOnlyByFlush;

// The window's requests that touch the traffic tables, served on the traffic thread's next pass
// (lf_serveWindowRequests): the live limit was lowered or raised, the parked nav-light setting flipped.
extern std::atomic<bool> maxLiveSelChanged;
extern std::atomic<bool> navLightsChanged;

// Passes since the process started; never reset. 64 bits, so it cannot overflow in any run length.
// Atomic because the Traffic Reader reads it to stamp due passes while the traffic pass counts on.
extern std::atomic<std::int64_t> tickCounter;

// RealTraffic reported its professional edition (level 2): the simulator's time is then the traffic's time.
// Written by the RealTraffic server, read by the simulator link's user record and the main loop.
extern std::atomic<bool> rtProfessional;

// A destination the user committed: its airport goes to the front of the park-airport list.
struct DestinationRequest {
    std::string code;
    GeoPoint position;
};
// Any thread. A newer request replaces one not yet taken.
void lf_requestDestination(const std::string& code, GeoPoint position);
// The pending request, if any; none is pending afterwards.
std::optional<DestinationRequest> takeDestinationRequest();

// currentWeekSlot from one reading of the traffic clock.
void lf_refreshWeekSlot();

// SIM_INSTALL_PATH / "Scenery", for the add-on airport scan; empty when the install path is not known.
// Written by the start-up thread only, before the scans, and emptied by the reset before a restart.
extern std::filesystem::path stockAirportsPath;

} // namespace zeph
