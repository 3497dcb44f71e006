#pragma once
#include <list>
#include <mutex>
#include <string>

// The park airports the user wants filled with parked aircraft, read from my_park_airports.txt. A minimal
// stand-in until the park-airport list lands.

namespace zeph {

struct ParkAirport {
    std::string code;
    std::string reservedStand; // empty when none
    double latitude = 0.0;
    double longitude = 0.0;
    double distance = 0.0; // nautical miles from the user aircraft
};

// Guarded by parkAirportListMutex, which also guards reservedStand (park_airport_status.h). Taken before
// parkAirportRecordMutex when both are needed.
extern std::list<ParkAirport> parkAirportList;
extern std::mutex parkAirportListMutex;

// Reads my_park_airports.txt into the list; false when it cannot.
bool lf_readMyParkAirports();

} // namespace zeph
