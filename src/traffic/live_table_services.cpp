#include "traffic/live_table_services.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/geodesy.h"
#include "core/half_hours.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "sim/user_aircraft.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/window_port.h"
#include "traffic/traffic_tables.h"

namespace zeph {

namespace {

// An aircraft must be this much farther than the current choice to replace it (nautical miles).
constexpr double farthestMargin = 0.1;

bool isActiveParked(const LiveAc& aircraft) {
    return aircraft.state == AcState::active && aircraft.phase == AcPhase::parked;
}

// Half hours from the parking slot forward to the current slot, wrapping over the end of the week, so a
// slot parked late on Sunday still counts on Monday.
std::int64_t halfHoursSince(const LiveAc& aircraft, std::pair<int, int> current) {
    return gf_halfHoursBetween(
        WeekSlot{aircraft.parkingDay, aircraft.parkingHalfHour},
        WeekSlot{static_cast<std::uint32_t>(current.first), static_cast<std::uint32_t>(current.second)});
}

bool fitChanged(float shown, float value) { return std::isnan(shown) || std::isnan(value) || shown != value; }

} // namespace

bool lf_removeFarthestLive(double distanceNm) {
    const GeoPoint user{userAcPosition.latitude, userAcPosition.longitude};
    double farthest = distanceNm;
    std::size_t chosen = liveAcTable.size();
    for (std::size_t i = 0; i < liveAcTable.size(); ++i) {
        const LiveAc& aircraft = liveAcTable[i];
        if (aircraft.state != AcState::active) {
            continue;
        }
        const double distance =
            gf_greatCircleDistance(user, GeoPoint{aircraft.position.latitude, aircraft.position.longitude});
        if (distance > farthest + farthestMargin) {
            farthest = distance;
            chosen = i;
        }
    }
    if (chosen == liveAcTable.size()) {
        return true;
    }
    removeAircraftFromSim(liveAcTable[chosen]);
    return false;
}

std::int64_t lf_countLiveForDisplay(bool withParkedHours) {
    const std::pair<int, int> current = unpackWeekSlot(currentWeekSlot.load());
    std::int64_t count = 0;
    std::int64_t halfHours = 0;
    for (const LiveAc& aircraft : liveAcTable) {
        if (!isActiveParked(aircraft)) {
            continue;
        }
        ++count;
        halfHours += halfHoursSince(aircraft, current);
    }
    if (!withParkedHours) {
        return count;
    }
    const float fit =
        count == 0
            ? 0.0F
            : static_cast<float>(static_cast<double>(halfHours) / (2.0 * static_cast<double>(count)) + 0.5);
    if (fitChanged(mainWindowState.liveAverageFit.load(), fit)) {
        mainWindowState.liveAverageFit.store(fit);
        mainWindowState.invalidateArea(countersArea);
    }
    return count;
}

void lf_resetCallsignList() {
    CALLSIGN_2_OBJECTID.setValue("");
    {
        const std::lock_guard lock(callsignListMutex);
        *callsignList = {std::string()};
    }
    gf_fillCallsignCombo();
    windowPort().enableControl(CALLSIGN_2_OBJECTID, false);
    windowPort().enableControl(blockButton, false);
}

int lf_refreshCallsignList() {
    std::vector<std::string> callsigns;
    for (const LiveAc& aircraft : liveAcTable) {
        if (aircraft.state == AcState::active && aircraft.phase != AcPhase::parked) {
            callsigns.push_back(aircraft.callsign);
        }
    }
    std::sort(callsigns.begin(), callsigns.end());
    const bool filled = !callsigns.empty();
    if (filled) {
        CALLSIGN_2_OBJECTID.setValue(callsigns.front());
    }
    {
        const std::lock_guard lock(callsignListMutex);
        *callsignList = std::move(callsigns);
    }
    gf_fillCallsignCombo();
    windowPort().enableControl(CALLSIGN_2_OBJECTID, filled);
    windowPort().enableControl(blockButton, filled);
    windowPort().enableControl(unblockButton, false);
    return filled ? 1 : 0;
}

void lf_takeLiveTrafficOut() {
    for (LiveAc& aircraft : liveAcTable) {
        // The removal withdraws a request still queued; one already handed over leaves once it is created.
        if (aircraft.state == AcState::active || aircraft.state == AcState::adding2sim) {
            removeAircraftFromSim(aircraft);
        }
    }
    std::erase_if(liveAcTable, [](const LiveAc& aircraft) { return aircraft.withdrawn != 0; });
}

} // namespace zeph
