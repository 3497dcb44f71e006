#include "traffic/park_airport_status.h"

#include <algorithm>
#include <utility>

#include <fmt/format.h>

#include "airports/park_airport_list.h"
#include "state/seam_trace.h"

namespace zeph {

ParkAirportRecord parkAirportRecord;
std::mutex parkAirportRecordMutex;
std::string reservedStand;

void setParkAirportRecord(ParkAirportRecord record) {
    const std::lock_guard lock(parkAirportRecordMutex);
    parkAirportRecord = std::move(record);
}

ParkAirportSnapshot parkAirportSnapshot() {
    const std::lock_guard lock(parkAirportRecordMutex);
    return {parkAirportRecord.code, GeoPoint{parkAirportRecord.latitude, parkAirportRecord.longitude},
            parkAirportRecord.altitude};
}

std::string reservedStandCopy() {
    const std::lock_guard lock(parkAirportListMutex);
    return reservedStand;
}

// The file is written under the same hold, so no other writer slips between the list and its file.
void lf_updateParkAirportList(const std::string& code, GeoPoint position) {
    const std::lock_guard lock(parkAirportListMutex);
    const auto found = std::find_if(parkAirportList.begin(), parkAirportList.end(),
                                    [&](const ParkAirport& entry) { return entry.code == code; });
    if (found != parkAirportList.end()) {
        parkAirportList.splice(parkAirportList.begin(), parkAirportList, found);
        return;
    }
    parkAirportList.push_front(ParkAirport{code, "", position.lat, position.lon, 0.0});
    gf_writeMyParkAirports();
}

// Minimal stand-ins until the park airport status lands.
void lf_checkParkAirport(std::uint8_t start) { noteSeamCall(fmt::format("lf_checkParkAirport {}", start)); }

bool lf_checkReservedStand(std::uint8_t check, std::string& text) {
    noteSeamCall(fmt::format("lf_checkReservedStand {}", check));
    text = seamScript().checkReservedStandText;
    return seamScript().checkReservedStand;
}

void lf_logCalculatingStatic(std::uint8_t showStatus) {
    noteSeamCall(fmt::format("lf_logCalculatingStatic {}", showStatus));
}

void lf_resetParkAirport() { noteSeamCall("lf_resetParkAirport"); }

std::int64_t lf_countStaticAc(std::uint8_t /*withFit*/) { return 0; }

} // namespace zeph
