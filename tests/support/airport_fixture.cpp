#include "support/airport_fixture.h"

#include <cstdint>
#include <mutex>
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

void installEddfStands() {
    const std::lock_guard lock(standListMutex);
    standList.clear();
    const double a10[3]{kEddfA12.lat, kEddfA12.lon - 0.002, 0.0};
    const double a12[3]{kEddfA12.lat, kEddfA12.lon, 0.0};
    const double v3[3]{kEddfA12.lat, kEddfA12.lon + 0.002, 0.0};
    standList.emplace_back("A10", a10, 40.0, false, false, false);
    standList.emplace_back("A12", a12, 40.0, false, false, false);
    standList.emplace_back("V3", v3, 40.0, true, false, false);
    for (std::uint32_t k = 0; k < standList.size(); ++k) {
        standList[k].number = k + 1;
    }
    closestStandCache = ClosestStandCache{};
}

} // namespace zeph::test
