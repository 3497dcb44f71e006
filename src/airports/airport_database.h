#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The airport database: every airport the program knows, read once per process. A minimal stand-in until
// the airports land: the table is filled by tests, the reading only reports the script's result.

namespace zeph {

struct AirportRecord {
    std::string code; // ICAO, the key of the table
    std::string iata;
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double altitude = 0.0;  // feet
    std::int32_t stands = 0;
};

extern std::vector<AirportRecord> airportTable;

// Reads the table on its first call in the process; later calls only answer whether it holds airports.
bool gf_readAirports();

// The first airport with that code; null when there is none.
const AirportRecord* gf_findAirport(std::string_view code);

} // namespace zeph
