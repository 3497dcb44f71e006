#include "support/airport_fixture.h"

#include <cstdint>
#include <string>

#include "airports/stands.h"
#include "traffic/park_airport_status.h"

namespace zeph::test {
namespace {

// About 100 m of longitude at the airport's latitude.
constexpr double kStandSpacingDegrees = 0.0013;

} // namespace

void installTestParkAirport() {
    setParkAirportRecord(ParkAirportRecord{.code = "ZZPA",
                                           .iata = "ZPA",
                                           .name = "Test Park Airport",
                                           .latitude = kParkAirportPosition.lat,
                                           .longitude = kParkAirportPosition.lon,
                                           .altitude = kParkAirportAltitude});
    standList.clear();
    for (std::uint32_t number = 1; number <= 4; ++number) {
        // In a row eastward from the airport's point, 100 m apart, each 25 m in radius, heading north.
        ParkPos stand;
        stand.id = std::to_string(number);
        stand.number = number;
        stand.latitude = kParkAirportPosition.lat;
        stand.longitude = kParkAirportPosition.lon + number * kStandSpacingDegrees;
        stand.radius = 25.0 / 1852.0;
        standList.push_back(stand);
    }
}

void clearTestParkAirport() {
    setParkAirportRecord(ParkAirportRecord{});
    standList.clear();
}

} // namespace zeph::test
