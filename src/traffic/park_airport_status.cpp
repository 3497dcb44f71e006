#include "traffic/park_airport_status.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include <fmt/format.h>

#include "airports/airport_database.h"
#include "airports/airport_file_format.h"
#include "airports/airport_file_locator.h"
#include "airports/learned_airport_saver.h"
#include "airports/park_airport_file.h"
#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "core/log.h"
#include "core/time_text.h"
#include "realtraffic/traffic_reader.h"
#include "settings/airport_settings.h"
#include "settings/control_sink.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "sim/user_aircraft.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"
#include "state/window_port.h"
#include "traffic/live_table_services.h"
#include "traffic/making_way.h"
#include "traffic/max_fit.h"
#include "traffic/stand_parking.h"
#include "traffic/traffic_tables.h"

namespace zeph {

bool loadPending = false;
GeoPoint lastUserPosition;

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

bool inSight(double distanceNm, double altitudeAboveGround) {
    return distanceNm <= AIRP_RANGE.get() && altitudeAboveGround <= AIRP_HEIGHT.get();
}

ParkAirportRecord parkAirportRecordOf(const AirportRecord& airport) {
    return ParkAirportRecord{airport.code,     airport.iata,  "", airport.latitude, airport.longitude,
                             airport.altitude, airport.stands};
}

namespace {

GeoPoint positionOf(const UserAircraftSnapshot& user) {
    return GeoPoint{user.position.latitude, user.position.longitude};
}

std::string parkAirportText() {
    return gf_airportDisplayText(parkAirportRecord.code, parkAirportRecord.iata);
}

double distanceTo(const ParkAirport& entry, GeoPoint user) {
    return gf_greatCircleDistance(user, GeoPoint{entry.latitude, entry.longitude});
}

bool samePosition(GeoPoint a, GeoPoint b) {
    return std::abs(a.lat - b.lat) <= 1e-8 && std::abs(a.lon - b.lon) <= 1e-8;
}

// Nearest first, unless a DESTINATION keeps its airport at the front; an unchanged position refreshes only
// the first entry.
void refreshListDistances(GeoPoint user) {
    const std::lock_guard lock(parkAirportListMutex);
    if (parkAirportList.empty()) {
        return;
    }
    if (samePosition(user, lastUserPosition)) {
        parkAirportList.front().distance = distanceTo(parkAirportList.front(), user);
        return;
    }
    lastUserPosition = user;
    for (ParkAirport& entry : parkAirportList) {
        entry.distance = distanceTo(entry, user);
    }
    if (DESTINATION.get().empty()) {
        parkAirportList.sort(
            [](const ParkAirport& a, const ParkAirport& b) { return a.distance < b.distance; });
    }
}

std::optional<ParkAirport> firstListEntry() {
    const std::lock_guard lock(parkAirportListMutex);
    if (parkAirportList.empty()) {
        return std::nullopt;
    }
    return parkAirportList.front();
}

void finishLoad() {
    gf_clearStatus();
    loadPending = false;
    if (const std::string error = lf_readParkedFile(); !error.empty()) {
        gf_enableControls();
        gf_setStatus(error, true);
        lf_leaveParkAirport();
    } else {
        setRenewalCountdown(20);
        lf_staticPositionsReport();
    }
    controlSink().enable(DESTINATION, true);
    gf_flushLog();
}

bool airportFileExists(const std::string& code) {
    try {
        return gf_myAirportFileExists(code);
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{}: {}", "gf_myAirportFileExists", e.what()));
        return false;
    }
}

void chooseOnGround(const UserAircraftSnapshot& user, std::uint8_t start) {
    const AirportRecord* airport = gf_closestAirport(positionOf(user));
    if (airport == nullptr) {
        gf_setStatus("User aircraft on the ground, no RT supported airport in sight", true);
        return;
    }
    if (!airportFileExists(airport->code)) {
        gf_setStatus(
            fmt::format("User aircraft on the ground at {}", airport->code + ", no airport file found"),
            true);
        return;
    }
    gf_logText(fmt::format("User aircraft on the ground at {}", airport->code));
    if (lf_logParkAirport(airport->code)) {
        loadPending = true;
        lf_logCalculatingStatic(start);
    }
}

// Every live aircraft on the ground gives up its stand and goes, also one on its way back into the simulator
// for a respawn (no stand of the next park airport is its own); withdrawn records are erased at once.
void removeGroundLive() {
    for (LiveAc& live : liveAcTable) {
        switch (live.phase) {
        case AcPhase::parked:
        case AcPhase::parking:
        case AcPhase::pushing_back:
        case AcPhase::pushed_back:
        case AcPhase::taxi:
        case AcPhase::take_off:
            break;
        default:
            continue;
        }
        giveUpStand(live);
        removeAircraftFromSim(live);
    }
    std::erase_if(liveAcTable, [](const LiveAc& live) { return live.withdrawn != 0; });
}

void clearParkAirportDisplay() {
    mainWindowState.setParkAirportCode("");
    mainWindowState.setParkAirportName("");
    mainWindowState.setParkAirportPublisher("");
    mainWindowState.parkFileFound.store(false);
    mainWindowState.handmadeFile.store(false);
    mainWindowState.learnedUpdates.store(0);
    mainWindowState.standCount.store(0);
    mainWindowState.invalidateArea(countersArea);
}

// The learned file keeps the settings in effect at the airport (what its file brought, the first visit's
// defaults, what the user chose there), so they are written while still in place; only then do the user's
// own values come back, also when the save throws. A throwing save is handed back, not thrown, so that the
// leave still ends: a park airport left loaded would be saved again, after the restore, with the user's
// values.
std::exception_ptr saveLearnedThenRestoreUserSettings() {
    std::exception_ptr failure;
    try {
        lf_saveLearnedAirports();
    } catch (...) {
        failure = std::current_exception();
    }
    gf_applySettingsToParameters();
    return failure;
}

} // namespace

void lf_checkParkAirport(std::uint8_t start) {
    if (staticRenewalBusy.load() && staticPlan.empty()) {
        gf_enableControls();
        gf_clearStatus();
        lf_countStaticAc(1);
        lf_countLiveForDisplay(true);
    }
    if (loadPending) {
        finishLoad();
        return;
    }
    const UserAircraftSnapshot user = userAircraftSnapshot();
    if (isNearNullIsland(positionOf(user))) {
        return;
    }
    refreshListDistances(positionOf(user));
    if (!parkAirportRecord.code.empty()) {
        lf_parkAirportInSight(user);
    } else {
        lf_userAcOnGround(user, start);
    }
}

void lf_userAcOnGround(const UserAircraftSnapshot& user, std::uint8_t start) {
    if (user.onGround) {
        chooseOnGround(user, start);
        return;
    }
    controlSink().enable(DESTINATION, true);
    const std::optional<ParkAirport> first = firstListEntry();
    if (!first || !inSight(first->distance, user.position.altitudeAboveGround) ||
        !lf_logParkAirport(first->code)) {
        return;
    }
    gf_setStatus(fmt::format("{} in sight at {:.1F} nm", first->code, first->distance), true);
    loadPending = true;
    lf_logCalculatingStatic(0);
}

void lf_parkAirportInSight(const UserAircraftSnapshot& user) {
    if (user.onGround) {
        return;
    }
    const double altitude = user.position.altitudeAboveGround;
    const double distance = gf_greatCircleDistance(
        positionOf(user), GeoPoint{parkAirportRecord.latitude, parkAirportRecord.longitude});
    if (!inSight(distance, altitude)) {
        gf_logText(fmt::format("\n{} {} is out of sight ({:.1F} nm), parked aircraft will be removed",
                               gf_trafficClockText(), parkAirportText(), distance));
        lf_resetParkAirport();
        return;
    }
    const std::optional<ParkAirport> first = firstListEntry();
    if (first && first->code != parkAirportRecord.code && inSight(first->distance, altitude) &&
        first->distance <= distance) {
        gf_logText(fmt::format("\n{} {} is in sight ({:.1F} nm), parked aircraft at {} will be removed first",
                               gf_trafficClockText(), first->code, first->distance, parkAirportText()));
        lf_resetParkAirport();
    }
}

bool lf_logParkAirport(const std::string& code) {
    const AirportRecord* airport = gf_findAirport(code);
    if (airport == nullptr) {
        mainWindowState.setParkAirportCode("");
        return false;
    }
    setParkAirportRecord(parkAirportRecordOf(*airport));
    const std::string text = gf_airportDisplayText(airport->code, airport->iata);
    gf_logText(fmt::format("\nThe park airport is {}", text));
    mainWindowState.setParkAirportCode(text);
    return true;
}

void lf_logCalculatingStatic(std::uint8_t showStatus) {
    gf_disableControls();
    trafficReader.startCallsignCollection();
    if (showStatus != 0) {
        gf_setStatus("Calculating static parked aircraft ...", false);
    }
}

void lf_resetParkAirport() {
    staticPlan.clear();
    lf_removeAllStatic();
    removeGroundLive();
    lf_leaveParkAirport();
}

void lf_leaveParkAirport() {
    std::exception_ptr saveFailure;
    if (parkAirportLoaded.load()) {
        saveFailure = saveLearnedThenRestoreUserSettings();
    }
    parkAirportLoaded.store(false);
    initialLoadOnlyByFlush.store(false);
    if (!INITIAL_LOAD_ONLY.get()) {
        controlSink().enable(nowButton, false);
    }
    controlSink().enable(flushStaticButton, false);
    setParkAirportRecord({});
    apfHandmade.store(false);
    rtTrafficWeek.store(0);
    trafficReader.setReferenceElevation(std::nullopt);
    clearParkAirportDisplay();
    parkingRemovalList.clear();
    staticPlan.clear();
    lf_clearParkPositions();
    if (saveFailure) {
        std::rethrow_exception(saveFailure);
    }
}

std::int64_t lf_countStaticAc(std::uint8_t withFit) {
    const WeekSlot now = WeekSlot::fromPacked(currentWeekSlot.load());
    std::int64_t count = 0;
    std::int64_t halfHours = 0;
    for (const StaticAc& aircraft : staticAcTable) {
        if (aircraft.state == AcState::active || aircraft.state == AcState::removingfromsim) {
            ++count;
            halfHours += gf_halfHoursBetween(WeekSlot{aircraft.parkingDay, aircraft.parkingHalfHour}, now);
        }
    }
    if (withFit == 0 || mainWindowState.weekMode.load()) {
        return count;
    }
    const float fit =
        count == 0 ? 0.0F : static_cast<float>(halfHours) / static_cast<float>(2 * count) + 0.5F;
    const float shown = mainWindowState.staticAverageFit.load();
    if (fit != shown || std::isnan(fit) || std::isnan(shown)) {
        mainWindowState.staticAverageFit.store(fit);
        mainWindowState.invalidateArea(countersArea);
    }
    return count;
}

} // namespace zeph
