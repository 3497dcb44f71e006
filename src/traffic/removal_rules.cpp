#include "traffic/removal_rules.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_set>

#include <fmt/format.h>

#include "core/clock.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "model/flight_texts.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "sim/user_aircraft.h"
#include "traffic/making_way.h"
#include "traffic/static_plan.h"
#include "traffic/traffic_tables.h"

namespace zeph {

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::size_t kParkedListRoom = 128;
constexpr std::int64_t kHalfHoursPerDay = 48;

constexpr double kGroundRuleUserHeight = 500.0; // feet above the ground
constexpr double kGroundRuleRangeNm = 1.0;
constexpr double kGroundRuleLateral = 50.0; // feet
constexpr double kAirRuleRangeNm = 4.0;
constexpr double kAirRuleHeight = 1000.0; // feet
constexpr double kAirRuleLateral = 700.0; // feet

bool isActiveParked(const LiveAc& aircraft) {
    return aircraft.state == AcState::active && aircraft.phase == AcPhase::parked;
}

std::int64_t weekSlotOf(const StaticAc& aircraft) {
    return static_cast<std::int64_t>(aircraft.parkingDay) * kHalfHoursPerDay - kHalfHoursPerDay +
           aircraft.parkingHalfHour;
}

std::string shortCallsign(const std::string& callsign) {
    return callsign.empty() ? callsign : callsign.substr(0, callsign.size() - 1);
}

bool onGroundRule(const LiveAc& aircraft, const UserAcPosition& user, double distanceNm, double bearing) {
    // The offset from the line is a distance: its sign must not let an aircraft far off the line pass.
    return aircraft.onGround != 0 && user.altitudeAboveGround < kGroundRuleUserHeight &&
           distanceNm <= kGroundRuleRangeNm &&
           std::fabs(std::sin(std::fabs(bearing - user.heading))) * distanceNm * kFeetPerNm <=
               kGroundRuleLateral;
}

bool inAirRule(const LiveAc& aircraft, const UserAcPosition& user, double distanceNm, double bearing) {
    if (distanceNm > kAirRuleRangeNm ||
        std::fabs(aircraft.position.altitude - user.altitude) >= kAirRuleHeight) {
        return false;
    }
    const double a = std::remainder(aircraft.position.heading - bearing, 2.0 * std::numbers::pi) / kDegToRad;
    return std::cos((90.0 - std::fabs(a)) * kDegToRad) * distanceNm * kFeetPerNm <= kAirRuleLateral;
}

} // namespace

void lf_callsignBlocked(std::uint32_t hexid) {
    LiveAc* aircraft = gf_findLiveAc(hexid);
    if (aircraft == nullptr) {
        return;
    }
    if (aircraft->state == AcState::buffer) {
        gf_logText(fmt::format("{} will be removed from buffer while blocked", gf_acLogPrefix(*aircraft)));
        aircraft->remove = 1;
    } else if (aircraft->state == AcState::active) {
        gf_logText(
            fmt::format("{} removed from simulator immediately while blocked", gf_acLogPrefix(*aircraft)));
        removeAircraftFromSim(*aircraft);
    }
}

void lf_maxParkExceeded(std::uint8_t extra) {
    const std::int64_t wanted = lf_wantedStaticCount();
    if (wanted < 1) {
        return;
    }
    const auto parked = std::count_if(liveAcTable.begin(), liveAcTable.end(), isActiveParked);
    if (!INITIAL_LOAD_ONLY.get() && extra + parked > wanted) {
        std::vector<std::pair<std::uint32_t, std::int64_t>> longest;
        lf_listLongestParked(longest);
        LiveAc* first = longest.empty() ? nullptr : gf_findLiveAc(longest.front().first);
        if (first != nullptr && first->state == AcState::active) {
            gf_logText(fmt::format("{:8}: {} live max park exceeded, removed",
                                   lf_standText(first->standNumber), first->callsign));
            removeAircraftFromSim(*first);
        }
    }
    const auto statics = std::count_if(staticAcTable.begin(), staticAcTable.end(), [](const StaticAc& a) {
        return a.state == AcState::active || a.state == AcState::removingfromsim;
    });
    if (statics + extra + parked <= wanted || staticAcTable.empty()) {
        return;
    }
    const auto earliest =
        std::min_element(staticAcTable.begin(), staticAcTable.end(),
                         [](const StaticAc& a, const StaticAc& b) { return weekSlotOf(a) < weekSlotOf(b); });
    if (earliest->state == AcState::active) {
        gf_logText(fmt::format("{:8}: {} static max park exceeded, removed",
                               lf_standText(earliest->standNumber), earliest->callsign));
        removeAircraftFromSim(*earliest);
    }
}

void lf_listLongestParked(std::vector<std::pair<std::uint32_t, std::int64_t>>& list) {
    list.clear();
    list.reserve(kParkedListRoom);
    const std::int64_t now = nowSystemTicks();
    for (const LiveAc& aircraft : liveAcTable) {
        if (isActiveParked(aircraft)) {
            list.emplace_back(aircraft.hexid, (now - aircraft.parkedSince) / kTicksPerSecond);
        }
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
}

void lf_removeLiveParked(int count) {
    std::vector<std::pair<std::uint32_t, std::int64_t>> longest;
    lf_listLongestParked(longest);
    const auto taken = std::min(longest.size(), static_cast<std::size_t>(std::max(count, 0)));
    std::unordered_set<std::uint32_t> hexids;
    for (std::size_t k = 0; k < taken; ++k) {
        hexids.insert(longest[k].first);
    }
    for (LiveAc& aircraft : liveAcTable) {
        if (hexids.contains(aircraft.hexid)) {
            gf_logText(fmt::format("live parked {} at {} removed", gf_acLogPrefix(aircraft),
                                   lf_standText(aircraft.standNumber)));
            removeAircraftFromSim(aircraft);
        }
    }
}

void lf_avoidUserAircraft() {
    const UserAcPosition user = userAircraftSnapshot().position;
    const GeoPoint userPoint{user.latitude, user.longitude};
    for (LiveAc& aircraft : liveAcTable) {
        if (aircraft.state != AcState::active) {
            continue;
        }
        const GeoPoint at{aircraft.position.latitude, aircraft.position.longitude};
        const double distance = gf_greatCircleDistance(userPoint, at);
        const double bearing = gf_initialBearing(userPoint, at);
        if (onGroundRule(aircraft, user, distance, bearing) || inAirRule(aircraft, user, distance, bearing)) {
            removeAircraftFromSim(aircraft);
            return;
        }
    }
}

bool lf_sameCallsignOrGhost(std::uint32_t standNumber, const std::string& callsign) {
    LiveAc* found = gf_liveOnStand(standNumber, [](const LiveAc& a) {
        return a.state == AcState::active &&
               (a.phase == AcPhase::parked || a.phase == AcPhase::pushing_back ||
                a.phase == AcPhase::pushed_back);
    });
    if (found == nullptr) {
        return true;
    }
    LiveAc& existing = *found;
    const std::string standText = lf_standText(standNumber);
    if (existing.callsign == callsign) {
        gf_logText(fmt::format("{:8}: {:8} ac with same callsign {} wants it, remove existing ... ",
                               standText, existing.callsign, callsign));
        removeAircraftFromSim(existing);
        return true;
    }
    if (shortCallsign(callsign) == existing.callsign) {
        return false;
    }
    if (shortCallsign(existing.callsign) == callsign ||
        (existing.callsign.ends_with('_') && !callsign.ends_with('_'))) {
        gf_logText(fmt::format("{:8}: {:8} ghost, replace by {}", standText, existing.callsign, callsign));
        removeAircraftFromSim(existing);
        return true;
    }
    if ((callsign.ends_with('_') && !existing.callsign.ends_with('_')) || existing.groundLogic != 0) {
        return false;
    }
    gf_logText(fmt::format("{:8}: {:8} removed because another live {} wants the stand ...", standText,
                           existing.callsign, callsign));
    removeAircraftFromSim(existing);
    return true;
}

} // namespace zeph
