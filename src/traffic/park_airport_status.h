#pragma once
#include <cstdint>
#include <mutex>
#include <string>

#include "airports/park_airport_record.h"
#include "core/geodesy.h"

namespace zeph {
struct AirportRecord;
struct UserAircraftSnapshot;
} // namespace zeph

// The park airport: which airport it is, when it is chosen, loaded, renewed and given up, and the stand
// reserved for the user there. Traffic thread unless said.

namespace zeph {

// The destination's airport becomes the first of the park-airport list: an entry with the code moves to the
// front as it is; otherwise a new entry (no reserved stand, distance 0) goes in front and
// my_park_airports.txt gets its line. Traffic thread.
void lf_updateParkAirportList(const std::string& code, GeoPoint position);

// A park airport was chosen; its file is read at the next check.
extern bool loadPending;
// The user position for which the park-airport list's distances were computed.
extern GeoPoint lastUserPosition;

// Looks for the park airport near the user aircraft (start: the main loop's first check); every 16 s.
void lf_checkParkAirport(std::uint8_t start);
// Without park airport: the airport the user stands at, or the first list airport in sight, is chosen.
void lf_userAcOnGround(const UserAircraftSnapshot& user, std::uint8_t start);
// With park airport: it is given up when out of sight or when another list airport is as near and in sight.
void lf_parkAirportInSight(const UserAircraftSnapshot& user);
// Loads the park airport's stands; the error text, empty when fine. A failure leaves the user's settings
// and the learned file as they were.
std::string lf_readParkedFile();
// Makes the airport the park airport; false when the database does not know it.
bool lf_logParkAirport(const std::string& code);
// The first phase of a static-parking calculation: controls disabled, the seen-callsign collection on.
void lf_logCalculatingStatic(std::uint8_t showStatus);
// Removes the static aircraft and the live aircraft on the ground, then leaves the park airport.
void lf_resetParkAirport();
// Saves what was learned and forgets the park airport.
void lf_leaveParkAirport();
// Re-reads my_park_airports.txt and applies a changed reserved stand; false when the list cannot be read.
// text gets the status to show.
bool lf_checkReservedStand(std::uint8_t check, std::string& text);
// The number of static aircraft for the display; with withFit also their mean parked time in
// staticAverageFit (kept while weekMode is set).
std::int64_t lf_countStaticAc(std::uint8_t withFit);

// Within AIRP_RANGE and below AIRP_HEIGHT above the ground.
bool inSight(double distanceNm, double altitudeAboveGround);
ParkAirportRecord parkAirportRecordOf(const AirportRecord& airport);

} // namespace zeph
