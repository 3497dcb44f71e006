#include "traffic/making_way.h"

#include <algorithm>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "core/clock.h"
#include "core/log.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {

std::vector<std::string> ghostCallsigns;
std::vector<ParkedLive> liveParkedList;

namespace {

constexpr double kTooCloseFactor = 1.1;
constexpr std::int64_t kTicksPerMinute = 600'000'000; // 100 ns ticks
constexpr std::int32_t kHeavyParkedMinutes = 180;
constexpr std::int32_t kOtherParkedMinutes = 90;

GeoPoint standPointOf(const StaticAc& aircraft) { return {aircraft.standLatitude, aircraft.standLongitude}; }

void eraseWithdrawnStatics() {
    std::erase_if(staticAcTable, [](const StaticAc& aircraft) { return aircraft.withdrawn != 0; });
}

bool sameRegistration(const std::string& a, const std::string& b) { return !a.empty() && a == b; }

// One of the static aircraft's two callsigns.
bool isStaticCallsign(const StaticAc& aircraft, const std::string& callsign) {
    return !callsign.empty() && (callsign == aircraft.firstCallsign || callsign == aircraft.coupledCallsign);
}

bool sameOrCoupled(const StaticAc& aircraft, const LiveAc& live) {
    if (isStaticCallsign(aircraft, live.callsign) || isStaticCallsign(aircraft, live.coupledCallsign)) {
        return true;
    }
    return live.callsign.ends_with('_') &&
           isStaticCallsign(aircraft, live.callsign.substr(0, live.callsign.size() - 1));
}

std::string makeWayLine(const StaticAc& aircraft, const LiveAc& live, const ParkPos& stand) {
    const bool same =
        aircraft.firstCallsign == live.callsign || sameRegistration(aircraft.registration, live.registration);
    return fmt::format("{:8}: {:8} {} makes way for{} {} {}", stand.id, aircraft.callsign,
                       aircraft.registration, same ? " the same live version" : "", live.callsign,
                       live.registration);
}

} // namespace

bool lf_tooClose(const GeoPoint& a, const GeoPoint& b, double radiusA, double radiusB) {
    return gf_greatCircleDistance(a, b) <= kTooCloseFactor * (radiusA + radiusB);
}

void lf_makeWay(LiveAc& aircraft, const ParkPos& stand) {
    const auto there = std::find_if(staticAcTable.begin(), staticAcTable.end(),
                                    [&](const StaticAc& s) { return s.standNumber == stand.number; });
    if (there != staticAcTable.end()) {
        if (there->state == AcState::adding2sim) {
            if (gf_withdrawCreation(*there)) {
                gf_logLine("queued " + makeWayLine(*there, aircraft, stand));
            }
        } else if (there->state == AcState::active) {
            gf_logLine(makeWayLine(*there, aircraft, stand));
            removeAircraftFromSim(*there);
        }
    }
    eraseWithdrawnStatics();
    for (const std::uint32_t adjacent : stand.adjacentStands) {
        lf_makeWayAtExcludedStand(aircraft, adjacent, stand);
    }
}

void lf_makeWayAtExcludedStand(LiveAc& aircraft, std::uint32_t adjacentNumber, const ParkPos& stand) {
    const ParkPos* adjacent = gf_standByNumber(adjacentNumber);
    const GeoPoint from =
        adjacent != nullptr ? GeoPoint{adjacent->latitude, adjacent->longitude} : GeoPoint{0.0, 0.0};
    const GeoPoint taken{stand.latitude, stand.longitude};
    const double liveSpan = gf_wingspanOfType(aircraft.type);
    for (StaticAc& other : staticAcTable) {
        if (other.state == AcState::active && other.standNumber == adjacentNumber &&
            lf_tooClose(from, taken, gf_wingspanOfType(other.type), liveSpan)) {
            gf_logLine(fmt::format("{:8}: {:8} makes way for {} parking at excluded stand {}",
                                   lf_standText(other.standNumber), other.callsign, aircraft.callsign,
                                   stand.id));
            removeAircraftFromSim(other);
            return;
        }
    }
}

void lf_collisionWithStatic(LiveAc& aircraft) {
    if (aircraft.landingRoll != 0 || aircraft.takeOffRoll != 0) {
        return;
    }
    aircraft.lastCheckLatitude = aircraft.position.latitude;
    aircraft.lastCheckLongitude = aircraft.position.longitude;
    const GeoPoint here{aircraft.position.latitude, aircraft.position.longitude};
    for (StaticAc& other : staticAcTable) {
        if (other.state == AcState::active && other.callsign != aircraft.callsign &&
            lf_tooClose(standPointOf(other), here, other.radius, aircraft.radius)) {
            gf_logLine(fmt::format("{:8}: {:8} removed for collision avoidance with static {}",
                                   lf_standText(other.standNumber), other.callsign, aircraft.callsign));
            removeAircraftFromSim(other);
            return;
        }
    }
}

void lf_ghostCheck(const std::string& callsign) {
    const std::string ghostCallsign = callsign + '_';
    const auto ghost = std::find_if(liveAcTable.begin(), liveAcTable.end(), [&](const LiveAc& a) {
        return a.callsign == ghostCallsign && a.state != AcState::removingfromsim;
    });
    if (ghost == liveAcTable.end()) {
        return;
    }
    if (ghost->phase == AcPhase::parked) {
        gf_logLine(fmt::format("{:8}: {:8} is a ghost and will be removed, continue with {}",
                               lf_standText(ghost->standNumber), ghostCallsign, callsign));
    } else {
        gf_logLine(fmt::format("          {:8} is a ghost and will be removed, continue with {}",
                               ghostCallsign, callsign));
    }
    ghostCallsigns.push_back(ghostCallsign);
    removeAircraftFromSim(*ghost);
}

void lf_sameRegcodeOrCoupled(LiveAc& aircraft, bool onGround) {
    if (aircraft.callsign.empty()) {
        return;
    }
    const char* where = onGround ? "on ground" : "airborne";
    for (StaticAc& other : staticAcTable) {
        if (other.state != AcState::active) {
            continue;
        }
        if (sameRegistration(aircraft.registration, other.registration)) {
            gf_logLine(fmt::format("{:8}: {:8} {} removed, new {} '{}' has same regcode {}",
                                   lf_standText(other.standNumber), other.callsign, other.registration, where,
                                   aircraft.callsign, aircraft.registration));
        } else if (sameOrCoupled(other, aircraft)) {
            gf_logLine(fmt::format("{:8}: {:8} '{}' '{}' removed, new {} {} '{}' '{}' has {} callsign",
                                   lf_standText(other.standNumber), other.callsign, other.firstCallsign,
                                   other.coupledCallsign, where, aircraft.callsign, aircraft.firstCallsign,
                                   aircraft.coupledCallsign,
                                   other.firstCallsign == aircraft.callsign ? "same" : "coupled"));
        } else {
            continue;
        }
        removeAircraftFromSim(other);
        return;
    }
}

void lf_removeAllStatic() {
    for (StaticAc& aircraft : staticAcTable) {
        // The removal withdraws a request still queued; one already handed over leaves once it is created.
        if (aircraft.state == AcState::active || aircraft.state == AcState::adding2sim) {
            removeAircraftFromSim(aircraft);
        }
    }
    eraseWithdrawnStatics();
}

void lf_clearReservedStand() {
    const std::string id = reservedStandCopy();
    if (id.empty()) {
        return;
    }
    const auto stand = gf_findStand(id);
    if (stand == standList.end()) {
        return;
    }
    const std::uint32_t number = stand->number;
    for (StaticAc& other : staticAcTable) {
        if (other.state == AcState::active && other.standNumber == number) {
            removeAircraftFromSim(other);
            return;
        }
    }
    for (LiveAc& live : liveAcTable) {
        if (live.state == AcState::active && live.phase == AcPhase::parked && live.standNumber == number) {
            removeAircraftFromSim(live);
            return;
        }
    }
}

void lf_removeStaticTwinOfLive() {
    for (const LiveAc& live : liveAcTable) {
        if (live.state != AcState::active || live.onGround == 0) {
            continue;
        }
        const std::string twin = live.callsign + '*';
        const auto found = std::find_if(staticAcTable.begin(), staticAcTable.end(), [&](const StaticAc& s) {
            return s.callsign == twin || sameRegistration(live.registration, s.registration);
        });
        if (found != staticAcTable.end() && found->state == AcState::active) {
            removeAircraftFromSim(*found);
            return;
        }
    }
}

void lf_listParkedLive() {
    liveParkedList.clear();
    const std::int64_t now = nowSystemTicks();
    for (LiveAc& live : liveAcTable) {
        if (live.phase != AcPhase::parked || live.state != AcState::active) {
            continue;
        }
        if (live.groundLogic != 0) {
            liveParkedList.push_back({live.callsign, 0, live.standNumber, 0});
            continue;
        }
        const auto minutes = static_cast<std::int32_t>((now - live.parkedSince) / kTicksPerMinute);
        const std::int32_t limit = live.kind == AcKind::Heavy ? kHeavyParkedMinutes : kOtherParkedMinutes;
        if (INITIAL_LOAD_ONLY.get() || minutes <= limit) {
            liveParkedList.push_back({live.callsign, 0, live.standNumber, minutes});
        } else {
            removeAircraftFromSim(live);
        }
    }
    std::stable_sort(liveParkedList.begin(), liveParkedList.end(),
                     [](const ParkedLive& a, const ParkedLive& b) { return a.minutes < b.minutes; });
}

std::string lf_standText(std::uint32_t standNumber) {
    if (standNumber == 0) {
        return "sid==0?";
    }
    const ParkPos* stand = gf_standByNumber(standNumber);
    return stand != nullptr ? stand->id : "sid==?";
}

} // namespace zeph
