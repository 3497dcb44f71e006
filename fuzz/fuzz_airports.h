#pragma once
#include <initializer_list>

#include "airports/airport_database.h"

// The airport database as the fuzz targets of airport files need it: a few known airports.

namespace zeph::fuzz {

inline void addKnownAirports(std::initializer_list<AirportRecord> airports) {
    for (const AirportRecord& airport : airports) {
        airportTable.push_back(airport);
        airportCodes.insert(airport.code);
    }
}

} // namespace zeph::fuzz
