#include "app/seconds_schedule.h"

#include <cmath>
#include <mutex>
#include <string>

#include <fmt/format.h>

#include "aircraft/livery_memory.h"
#include "aircraft/no_match_list.h"
#include "airports/auto_range.h"
#include "airports/stands.h"
#include "app/main_loop.h"
#include "app/window/control_handlers.h"
#include "app/window/controls.h"
#include "app/window/status_display.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/time_text.h"
#include "realtraffic/report_queue.h"
#include "realtraffic/rt_server.h"
#include "realtraffic/traffic_reader.h"
#include "realtraffic/udp_readers.h"
#include "settings/control_sink.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"
#include "traffic/live_table_services.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"
#include "traffic/removal_rules.h"
#include "traffic/sim_results.h"
#include "traffic/stand_learning.h"
#include "traffic/static_plan.h"
#include "traffic/traffic_tables.h"

namespace zeph {

namespace {

// A position differs from another when latitude or longitude differ by at least this many degrees.
constexpr double moveThresholdDegrees = 1e-8;

// The user position at the last collision test against static aircraft.
GeoPoint lastUserCollisionPosition;

bool movedFrom(double latitude, double longitude, double fromLatitude, double fromLongitude) {
    return std::fabs(latitude - fromLatitude) >= moveThresholdDegrees ||
           std::fabs(longitude - fromLongitude) >= moveThresholdDegrees;
}

// An entry whose aircraft is no longer live is dropped; it counts as this second's entry.
void checkOneCoupledAircraft() {
    if (coupleCheckList.empty() || liveAcTable.empty()) {
        return;
    }
    const std::uint32_t hexid = coupleCheckList.front();
    coupleCheckList.pop_front();
    for (LiveAc& aircraft : liveAcTable) {
        if (aircraft.hexid != hexid) {
            continue;
        }
        if (aircraft.coupledSearchDone == 0) {
            lf_searchForCoupledCsAroundThisTime(currentWeekSlot.load(), aircraft);
            aircraft.coupledSearchDone = 1;
        }
        lf_sameRegcodeOrCoupled(aircraft, aircraft.onGround != 0);
        return;
    }
}

void serveFlushStaticRequest() {
    if (!flushStaticRequest.exchange(false)) {
        return;
    }
    lf_removeAllStatic();
    // For this stay only: the airport's learned file keeps the value from before.
    if (!INITIAL_LOAD_ONLY.get()) {
        INITIAL_LOAD_ONLY.setValue(true);
        initialLoadOnlyByFlush.store(true);
        controlSink().setCheck(INITIAL_LOAD_ONLY);
    }
}

// One live aircraft a second; a static one only when no live one was removed and the user has moved.
void groundCollisionWithUser(const GeoPoint& user, double userRadius) {
    for (LiveAc& aircraft : liveAcTable) {
        const GeoPoint position{aircraft.position.latitude, aircraft.position.longitude};
        if (aircraft.onGround != 0 && aircraft.state == AcState::active &&
            (userRadius + aircraft.radius) * 1.15 >= gf_greatCircleDistance(user, position)) {
            removeAircraftFromSim(aircraft);
            return;
        }
    }
    if (!movedFrom(user.lat, user.lon, lastUserCollisionPosition.lat, lastUserCollisionPosition.lon)) {
        return;
    }
    lastUserCollisionPosition = user;
    for (StaticAc& aircraft : staticAcTable) {
        const GeoPoint stand{aircraft.standLatitude, aircraft.standLongitude};
        if (aircraft.state == AcState::active &&
            (userRadius + aircraft.radius) * 1.1 >= gf_greatCircleDistance(user, stand)) {
            removeAircraftFromSim(aircraft);
            return;
        }
    }
}

void collisionWithUser() {
    const UserAircraftSnapshot user = userAircraftSnapshot();
    if (user.onGround) {
        if (COLLISION_USER_GND.get()) {
            groundCollisionWithUser(GeoPoint{user.position.latitude, user.position.longitude},
                                    user.halfWingSpan.value_or(0.0));
        }
    } else if (COLLISION_USER_AIR.get()) {
        lf_avoidUserAircraft();
    }
}

void liveCollisionWithStatic() {
    if (!COLLISION_LIVE_PARKED_GND.get() || staticAcTable.empty()) {
        return;
    }
    for (LiveAc& aircraft : liveAcTable) {
        if (aircraft.onGround != 0 &&
            (aircraft.phase == AcPhase::taxi || aircraft.phase == AcPhase::parking) &&
            aircraft.state == AcState::active &&
            movedFrom(aircraft.position.latitude, aircraft.position.longitude, aircraft.lastCheckLatitude,
                      aircraft.lastCheckLongitude)) {
            lf_collisionWithStatic(aircraft);
        }
    }
}

void serveBlockedCallsign() {
    if (!blockingChanged.load()) {
        return;
    }
    const std::string callsign = BLOCK_CALLSIGN.get();
    if (!callsign.empty()) {
        for (LiveAc& aircraft : liveAcTable) {
            if (aircraft.callsign == callsign && aircraft.state == AcState::active) {
                removeAircraftFromSim(aircraft);
                break;
            }
        }
    }
    blockingChanged.store(false);
}

// Phase one prepares the calculation; phase two, 15 s later, runs it.
void renewalPhase() {
    if (!staticRenewNow.load()) {
        return;
    }
    if (!staticRenewalStarted) {
        staticRenewalStarted = true;
        gf_disableControls();
        trafficReader.startCallsignCollection();
        return;
    }
    staticRenewalStarted = false;
    gf_clearErrorStatus();
    if (!parkAirportRecord.code.empty() && !standList.empty()) {
        lf_parkingAdjustments();
    }
    gf_flushLog();
    staticRenewNow.store(false);
}

void everyMinute(std::int32_t s) {
    const std::int32_t left = stepRenewalCountdown();
    if (left < 1 && parkAirportLoaded.load() && !INITIAL_LOAD_ONLY.get() && !staticRenewalBusy.load() &&
        !staticRenewNow.load()) {
        lf_renewStaticParkingSoon();
    }
    if (s % 1200 != 0) {
        return;
    }
    gf_printNoMatchList();
    if (s % 86400 == 0) {
        secondsCounter.store(0);
        gf_writeMatchingSummary();
        rememberedLiveries.clear();
    }
}

} // namespace

void resetUserCollisionPosition() { lastUserCollisionPosition = GeoPoint{}; }

void lf_flightRunningSecond() {
    if (flightNotRunning) {
        flightNotRunning = false;
        gf_logText(fmt::format("{} Flight resumed", gf_utcClockText()));
        setTrafficAccepting(true);
    }
    lf_advanceStatusClock();
    lf_refreshCounters();
    lf_refreshWeekSlot();
    ++secondsCounter;
    checkOneCoupledAircraft();
    serveFlushStaticRequest();
    if (callsignListRequest.exchange(false)) {
        mainWindowState.invalidateArea(settingsArea);
        lf_refreshCallsignList();
    }
    collisionWithUser();
    liveCollisionWithStatic();
    serveBlockedCallsign();
    if (staticRenewalBusy.load()) {
        mainWindowState.pendingStatic.store(staticPlan.size());
        mainWindowState.invalidateArea(countersArea);
    }
}

void lf_flightNotRunning() {
    if (!flightNotRunning) {
        setTrafficAccepting(false);
        flightNotRunning = true;
        notRunningCountdown = 100;
        {
            const std::lock_guard lock(simConnectMutex);
            positionBuffers.halves()[0].clear();
            positionBuffers.halves()[1].clear();
        }
        gf_logText(fmt::format("{} Flight not running", gf_utcClockText()));
    }
    lf_handleSimResults();
    --notRunningCountdown;
    if (notRunningCountdown % 100 == 0) {
        lf_every5Seconds();
        lf_sendUserPosition();
    }
    if (notRunningCountdown < 1) {
        notRunningCountdown = 100;
        lf_refreshCounters();
        lf_refreshWeekSlot();
    }
}

void lf_every5Seconds() {
    if (!rereadRequest.load() || staticRenewalBusy.load()) {
        return;
    }
    std::string text;
    if (lf_checkReservedStand(1, text)) {
        gf_setStatus(text, true);
    }
    gf_enableControl(rereadButton);
    gf_enableControl(DESTINATION);
    rereadRequest.store(false);
}

void lf_every15Seconds(int /*seconds*/) {
    renewalPhase();
    if (mainWindowState.trafficReaderState.load() == 2 || mainWindowState.qnhReaderState.load() == 2) {
        lf_checkReaderActivity();
    }
    const std::int32_t s = secondsCounter.load();
    if (s % 30 != 0) {
        return;
    }
    if (matchingDepthRaised.exchange(false)) {
        gf_clearNoMatchList();
    }
    if (AUTO_RANGE.get()) {
        lf_autoRange();
    }
    if (s % 60 == 0) {
        everyMinute(s);
    }
    gf_flushLog();
}

} // namespace zeph
