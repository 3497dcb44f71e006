#pragma once
// Reading and checking the flight-plan file an AI aircraft is given.
#include <cstddef>
#include <string>

namespace zeph::standin {

inline constexpr std::size_t kMaxFlightPlanBytes = 1024 * 1024;

struct FlightPlanCheck {
    bool ok = false;
    std::string error; // what is wrong, when not ok
    std::string type;  // "IFR" or "VFR"
    std::string departure;
    std::string destination;
};

// Reads at most kMaxFlightPlanBytes of the file and checks it is an AceXML flight plan with a type,
// a departure and a destination. The file is only read.
FlightPlanCheck checkFlightPlan(const std::string& path);

} // namespace zeph::standin
