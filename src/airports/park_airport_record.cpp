#include "airports/park_airport_record.h"

#include <utility>

#include "airports/park_airport_list.h"

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

} // namespace zeph
