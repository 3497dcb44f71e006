// Loading the park airport's stands, and the user's reserved stand there.

#include <algorithm>
#include <exception>
#include <optional>

#include <fmt/format.h>

#include "airports/airport_file_locator.h"
#include "airports/park_airport_file.h"
#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "core/errors.h"
#include "realtraffic/traffic_reader.h"
#include "realtraffic/udp_readers.h"
#include "settings/airport_settings.h"
#include "sim/user_aircraft.h"
#include "state/main_window_state.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"

namespace zeph {

namespace {

// The stand the user stands at becomes this airport's reserved stand in the list's first entry. An entry of
// this airport further down moves to the front instead of getting a twin. The caller holds the list's mutex.
void rememberUserStand(const std::string& closest) {
    const std::string& code = parkAirportRecord.code;
    if (!parkAirportList.empty() && parkAirportList.front().code == code) {
        if (!closest.empty() && closest != parkAirportList.front().reservedStand) {
            parkAirportList.front().reservedStand = closest;
            gf_writeMyParkAirports();
        }
        return;
    }
    const auto found = std::find_if(parkAirportList.begin(), parkAirportList.end(),
                                    [&](const ParkAirport& entry) { return entry.code == code; });
    if (found != parkAirportList.end()) {
        parkAirportList.splice(parkAirportList.begin(), parkAirportList, found);
        if (!closest.empty()) {
            parkAirportList.front().reservedStand = closest;
        }
    } else {
        parkAirportList.push_front(
            ParkAirport{code, closest, parkAirportRecord.latitude, parkAirportRecord.longitude, 0.0});
    }
    gf_writeMyParkAirports();
}

void takeReservedStand() {
    const std::lock_guard lock(parkAirportListMutex);
    const bool ours = !parkAirportList.empty() && parkAirportList.front().code == parkAirportRecord.code;
    const std::string wanted = ours ? parkAirportList.front().reservedStand : std::string();
    const bool found = !wanted.empty() && gf_findStand(wanted) != standList.end();
    reservedStand = found ? wanted : std::string();
    if (found || ours) {
        mainWindowState.setReservedStand(wanted, found);
    }
}

std::string loadStands() {
    lf_clearParkPositions();
    const std::string reference = lf_stockArchiveFile(parkAirportRecord.code);
    if (reference.empty()) {
        return fmt::format("{} {} not found", "lf_readParkedFile", parkAirportRecord.code);
    }
    apfHeader = ApfHeader{};
    if (std::string error = gf_readApf(reference, apfHeader); !error.empty()) {
        return error;
    }
    const UserAircraftSnapshot user = userAircraftSnapshot();
    if (user.onGroundKnown) {
        // Found before the list's mutex is taken: the look-up takes the user's and the stands' locks.
        const std::string closest =
            gf_closestStandId(GeoPoint{user.position.latitude, user.position.longitude});
        const std::lock_guard lock(parkAirportListMutex);
        rememberUserStand(closest);
    }
    {
        const std::lock_guard lock(standListMutex);
        standList.shrink_to_fit();
    }
    takeReservedStand();
    return {};
}

void showLoaded() {
    mainWindowState.parkFileFound.store(true);
    mainWindowState.setParkAirportPublisher(apfHeader.publisher);
    mainWindowState.setParkAirportName(apfHeader.airport_name);
    ParkAirportRecord record = parkAirportRecord;
    record.name = apfHeader.airport_name;
    setParkAirportRecord(std::move(record));
    // The traffic lines judge ground traffic by the loaded airport's elevation; a failed load leaves none.
    trafficReader.setReferenceElevation(
        parkAirportRecord.code.empty() ? std::nullopt : std::optional<double>(parkAirportRecord.altitude));
    learnedUpdateCount = 0;
    mainWindowState.learnedUpdates.store(0);
    mainWindowState.invalidateArea(countersArea);
}

} // namespace

std::string lf_readParkedFile() {
    const ParkAirportSettings before = currentParkAirportSettings();
    std::string error;
    try {
        error = loadStands();
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (error.empty()) {
        showLoaded();
        return error;
    }
    // Nothing of a failed load may stay: not the airport's settings, nor a loaded mark that would save an
    // empty or half-merged stand list over the learned file.
    if (currentParkAirportSettings() != before || parkAirportLoaded.load()) {
        keepUserSettings(before);
        gf_applySettingsToParameters();
        parkAirportLoaded.store(false);
    } else {
        releaseUserSettings();
    }
    return error;
}

bool lf_checkReservedStand(std::uint8_t check, std::string& text) {
    if (!lf_readMyParkAirports()) {
        return false;
    }
    const UserAircraftSnapshot user = userAircraftSnapshot();
    std::string wanted;
    std::string old;
    if (check != 0 && user.onGroundKnown && user.onGround && !staticRenewalBusy.load() &&
        mainWindowState.displayTexts().userStandText.empty()) {
        const std::lock_guard lock(parkAirportListMutex);
        if (!parkAirportList.empty() && !parkAirportRecord.code.empty() &&
            parkAirportList.front().code == parkAirportRecord.code &&
            !parkAirportList.front().reservedStand.empty() &&
            parkAirportList.front().reservedStand != reservedStand) {
            wanted = parkAirportList.front().reservedStand;
            old = reservedStand;
            reservedStand = wanted;
        }
    }
    if (!wanted.empty()) {
        text = fmt::format("reserved stand changed from '{}' to '{}'", old, wanted);
        if (const auto stand = gf_findStand(old); stand != standList.end()) {
            stand->reserved = false;
        }
        lf_clearReservedStand();
        const auto stand = gf_findStand(wanted);
        if (stand != standList.end()) {
            stand->reserved = true;
        }
        mainWindowState.setReservedStand(wanted, stand != standList.end());
        mainWindowState.invalidateArea(countersArea);
    }
    if (text.empty()) {
        text = "park airports and stands are okay";
    }
    return true;
}

} // namespace zeph
