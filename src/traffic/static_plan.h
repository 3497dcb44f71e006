#pragma once
#include <cstdint>
#include <string>

// The static parking plan of the park airport.

namespace zeph {

// One planned static aircraft.
struct StaticPlanEntry {
    std::uint32_t standId = 0; // number of the stand it is planned for
    std::uint32_t age = 0;     // half-hour slots before the current one it counts as parked (0-47)
    std::string airline;
    std::string type;
    std::string firstCallsign;   // the stand use's arrival callsign
    std::string coupledCallsign; // the stand use's departure callsign
    std::string registration;
    std::uint8_t stays =
        0; // the use goes on into the next slot or has no coupled callsign; picks the callsign
};

// Builds the next static aircraft from the back of the plan (traffic pass, when the plan is not empty).
void lf_detcs();

// The number of static aircraft wanted at the park airport, from MAX_PARK_SEL and the parking percentage of
// the stands; also shown as maxPark and maxParkPercent.
std::int64_t lf_wantedStaticCount();

// Adjusts the static parking to the stands' learned use (the second phase of a renewal).
void lf_parkingAdjustments();

} // namespace zeph
