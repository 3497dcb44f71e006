#pragma once
#include <cstdint>
#include <mutex>
#include <string>

#include "core/geodesy.h"

// Which airport is the park airport, and the stand reserved for the user there. The traffic engine chooses
// and gives it up; the airports' files, the traffic lines and the simulator link read it.

namespace zeph {

struct ParkAirportRecord {
    std::string code;   // ICAO; empty: no park airport
    std::string iata{}; // explicit empty defaults let callers build the record from its code alone
    std::string name{};
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double altitude = 0.0;  // feet
    std::int32_t stands = 0;
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

} // namespace zeph
