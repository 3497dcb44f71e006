#include "airports/park_airport_list.h"

#include "app/seam_trace.h"

namespace zeph {

std::list<ParkAirport> parkAirportList;
std::mutex parkAirportListMutex;

// Minimal stand-in until the park-airport list lands.
bool lf_readMyParkAirports() {
    noteSeamCall("lf_readMyParkAirports");
    return seamScript().readMyParkAirports;
}

} // namespace zeph
