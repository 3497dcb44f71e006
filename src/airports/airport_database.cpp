#include "airports/airport_database.h"

#include "state/seam_trace.h"

namespace zeph {

std::vector<AirportRecord> airportTable;

// Minimal stand-in until the airport database lands.
bool gf_readAirports() {
    noteSeamCall("gf_readAirports");
    return seamScript().readAirports;
}

const AirportRecord* gf_findAirport(std::string_view code) {
    for (const AirportRecord& airport : airportTable) {
        if (airport.code == code) {
            return &airport;
        }
    }
    return nullptr;
}

} // namespace zeph
