#pragma once
#include <cstdint>
#include <vector>

#include "support/pass_harness.h"

// Scripts of traffic reports for the PassHarness, passes counted from t0.

namespace zeph::test {

// TST123, a B738 from ZRH to FRA (hexid 4000001) at 12,000 ft, 300 kt (true airspeed 330), track 0, from
// 47.0 N 8.0 E, report time 1,700,000,000.
TrafficReport airlinerReport();
// Reports every `everyPasses` (and `everySeconds` of report time) along a straight line from the first
// report's position, on its track at its ground speed.
std::vector<ScriptedReport> straightFlight(const TrafficReport& first, int reports = 12,
                                           std::int64_t everyPasses = 1000, double everySeconds = 10.0);

// The passes (from t0) at which the record became active and stopped being active (or was erased); -1: not.
struct FlightSpan {
    std::int64_t activeAt = -1;
    std::int64_t leftAt = -1;
};
FlightSpan watchFlight(PassHarness& harness, std::uint32_t hexid, std::int64_t passes);

} // namespace zeph::test
