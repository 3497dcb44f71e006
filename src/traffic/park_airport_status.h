#pragma once
#include <cstdint>
#include <mutex>
#include <string>

#include "core/geodesy.h"

// The park airport the user aircraft is at, and the stand reserved for the user there. A minimal stand-in
// until the park airport status lands.

namespace zeph {

struct ParkAirportRecord {
    std::string code;   // ICAO; empty: no park airport
    std::string iata{}; // explicit empty defaults let callers build the record from its code alone
    std::string name{};
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double altitude = 0.0;  // feet
};

// parkAirportRecordMutex is its only guard. The traffic thread writes it only through setParkAirportRecord
// and reads it without the lock.
extern ParkAirportRecord parkAirportRecord;
extern std::mutex parkAirportRecordMutex;
void setParkAirportRecord(ParkAirportRecord record);

// What the traffic lines need of the park airport, copied under parkAirportRecordMutex so a reader on
// another thread sees one consistent airport.
struct ParkAirportSnapshot {
    std::string code;      // empty: no park airport
    GeoPoint position;     // degrees
    double altitude = 0.0; // feet
};
ParkAirportSnapshot parkAirportSnapshot();

// The id of the stand reserved for the user at the park airport; empty when none. Guarded by
// parkAirportListMutex (park_airport_list.h).
extern std::string reservedStand;
// reservedStand, read under its mutex.
std::string reservedStandCopy();

// The destination's airport becomes the first of the park-airport list: an entry with the code moves to the
// front as it is; otherwise a new entry (no reserved stand, distance 0) goes in front and my_park_airports.txt
// gets its line. Traffic thread.
void lf_updateParkAirportList(const std::string& code, GeoPoint position);

// Looks for the park airport near the user aircraft (start: the main loop's first check).
void lf_checkParkAirport(std::uint8_t start);
// Checks the reserved stand; true when text holds a status to show.
bool lf_checkReservedStand(std::uint8_t check, std::string& text);
// The first phase of a static-parking calculation.
void lf_logCalculatingStatic(std::uint8_t showStatus);
// Leaves the park airport, removing its AI objects.
void lf_resetParkAirport();
// The number of static aircraft for the display; with withFit also their mean parked time in
// staticAverageFit. Minimal stand-in until the park airport status lands: 0, the mean left as it is.
std::int64_t lf_countStaticAc(std::uint8_t withFit);

} // namespace zeph
