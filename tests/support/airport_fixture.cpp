#include "support/airport_fixture.h"

#include <cstdint>
#include <numbers>
#include <vector>
#include <mutex>
#include <string>

#include "airports/stands.h"
#include "traffic/park_airport_status.h"

namespace zeph::test {

void installTestParkAirport() {
    setParkAirportRecord(ParkAirportRecord{.code = "ZZPA",
                                           .iata = "ZPA",
                                           .name = "Test Park Airport",
                                           .latitude = kParkAirportPosition.lat,
                                           .longitude = kParkAirportPosition.lon,
                                           .altitude = kParkAirportAltitude});
    const auto at = [](double bearingDeg, double metres) {
        return gf_destinationPoint(kParkAirportPosition, bearingDeg * std::numbers::pi / 180.0, metres / 0.3048);
    };
    const GeoPoint a2 = at(90.0, 50.0);
    const GeoPoint c3 = at(90.0, 100.0);
    const GeoPoint h4 = at(0.0, 300.0);
    const double a1Place[3]{kParkAirportPosition.lat, kParkAirportPosition.lon, 0.0};
    const double a2Place[3]{a2.lat, a2.lon, std::numbers::pi / 2.0};
    const double c3Place[3]{c3.lat, c3.lon, 0.0};
    const double h4Place[3]{h4.lat, h4.lon, 0.0};
    const std::lock_guard lock(standListMutex);
    standList.clear();
    standList.emplace_back("A1", a1Place, 20.0, false, false, false);
    standList.emplace_back("A2", a2Place, 20.0, false, false, false);
    standList.emplace_back("C3", c3Place, 20.0, true, false, false);
    standList.emplace_back("H4", h4Place, 10.0, false, false, true);
    const std::vector<std::vector<std::uint32_t>> adjacent{{2}, {1, 3}, {2}, {}};
    for (std::uint32_t k = 0; k < standList.size(); ++k) {
        standList[k].number = k + 1;
        standList[k].adjacentStands = adjacent[k];
    }
    closestStandCache = ClosestStandCache{};
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
