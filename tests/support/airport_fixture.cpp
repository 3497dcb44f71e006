#include "support/airport_fixture.h"

#include <cstdint>
#include <mutex>
#include <numbers>
#include <string>
#include <vector>

#include <filesystem>

#include "airports/airport_database.h"
#include "airports/airport_file_format.h"
#include "airports/airport_file_locator.h"
#include "airports/stands.h"
#include "settings/data_tree.h"
#include "support/temp_dir.h"
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
        return gf_destinationPoint(kParkAirportPosition, bearingDeg * std::numbers::pi / 180.0,
                                   metres / 0.3048);
    };
    const GeoPoint a2 = at(90.0, 50.0);
    const GeoPoint c3 = at(90.0, 100.0);
    const GeoPoint h4 = at(0.0, 300.0);
    const std::lock_guard lock(standListMutex);
    standList.clear();
    standList.emplace_back("A1", std::vector<StandUse>{}, kParkAirportPosition, 0.0, 20.0, false, false,
                           false);
    standList.emplace_back("A2", std::vector<StandUse>{}, a2, std::numbers::pi / 2.0, 20.0, false, false,
                           false);
    standList.emplace_back("C3", std::vector<StandUse>{}, c3, 0.0, 20.0, true, false, false);
    standList.emplace_back("H4", std::vector<StandUse>{}, h4, 0.0, 10.0, false, false, true);
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
    const GeoPoint a10{kEddfA12.lat, kEddfA12.lon - 0.002};
    const GeoPoint v3{kEddfA12.lat, kEddfA12.lon + 0.002};
    standList.emplace_back("A10", std::vector<StandUse>{}, a10, 0.0, 40.0, false, false, false);
    standList.emplace_back("A12", std::vector<StandUse>{}, kEddfA12, 0.0, 40.0, false, false, false);
    standList.emplace_back("V3", std::vector<StandUse>{}, v3, 0.0, 40.0, true, false, false);
    for (std::uint32_t k = 0; k < standList.size(); ++k) {
        standList[k].number = k + 1;
    }
    closestStandCache = ClosestStandCache{};
}

namespace {
constexpr const char* kZzpaFile = "airports/my_thirdparty/ZZPA.xml";
} // namespace

GeoPoint parkAirportStandPoint(int k) {
    return gf_destinationPoint(kParkAirportPosition, std::numbers::pi / 2.0,
                               (200.0 + 60.0 * (k - 1)) / 0.3048);
}

std::string parkAirportLearnedFile() { return lf_archivePathOf(kZzpaFile, "Test Publisher").string(); }

void installParkAirportFiles(const std::vector<std::string>& opts) {
    const GeoPoint zzpb =
        gf_destinationPoint(kParkAirportPosition, std::numbers::pi / 2.0, 15.0 * kFeetPerNm);
    const GeoPoint zzpc = gf_destinationPoint(kParkAirportPosition, 0.0, 30.0 * kFeetPerNm);
    airportTable = {AirportRecord{"ZZPA", "ZPA", kParkAirportPosition.lat, kParkAirportPosition.lon,
                                  kParkAirportAltitude, 10},
                    AirportRecord{"ZZPB", "", zzpb.lat, zzpb.lon, 0.0, 0},
                    AirportRecord{"ZZPC", "", zzpc.lat, zzpc.lon, 0.0, 0}};
    airportCodes = {"ZZPA", "ZZPB", "ZZPC"};
    ApfData file{"ZZPA", "Test Park Airport",
                 "",     "Test Publisher",
                 0,      0,
                 0,      static_cast<std::int32_t>(kParkAirportAltitude),
                 {}};
    for (int k = 1; k <= 10; ++k) {
        file.stands.emplace_back("G" + std::to_string(k), std::vector<StandUse>{}, parkAirportStandPoint(k),
                                 0.0, 20.0, false, false, false);
    }
    std::filesystem::create_directories("airports/my_thirdparty");
    gf_writeApf(file, kZzpaFile, 1, 3);
    std::string bytes = readFileBytes(kZzpaFile);
    for (std::size_t k = 0; k < opts.size(); ++k) {
        const std::size_t end = bytes.find("/>", bytes.find("id=\"G" + std::to_string(k + 1) + "\""));
        bytes.replace(end, 2, ">" + opts[k] + "</parkpos>");
    }
    writeFileBytes(kZzpaFile, bytes);
    writeFileBytes(myParkAirportsFile, "ZZPA\n");
}

} // namespace zeph::test
