#include "traffic/respawn.h"

#include <cmath>
#include <exception>
#include <numbers>

#include <fmt/format.h>

#include "aircraft/livery_memory.h"
#include "aircraft/regcode_passes.h"
#include "aircraft/regcodes.h"
#include "core/log.h"
#include "model/flight_texts.h"
#include "settings/parameter_table.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"
#include "traffic/sim_results.h"
#include "traffic/spawning.h"
#include "traffic/stand_learning.h"
#include "traffic/stand_parking.h"
#include "traffic/traffic_tables.h"

namespace zeph {

namespace {

constexpr double kSamePlaceDegrees = 1e-8;

bool respawn(LiveAc& aircraft) {
    if (!GUID_CHANGES.get()) {
        // The record keeps what it took; the simulator object keeps its old ATC id until the next respawn.
        return true;
    }
    gf_logLine(fmt::format("          {} respawns", gf_describeFlight(aircraft)));
    liveryRespawn(aircraft);
    return false;
}

// The registration codes know the registration with another airline or type, under an operator that is not
// the record's airline.
std::optional<RegcodeInfo> otherOwner(const LiveAc& aircraft, const std::string& registration) {
    std::optional<RegcodeInfo> info = gf_lookupRegcode(registration);
    if (!info || (info->airl == aircraft.airline && info->type == aircraft.type) ||
        info->opr == aircraft.airline) {
        return std::nullopt;
    }
    return info;
}

void takeOwner(LiveAc& aircraft, const RegcodeInfo& info) {
    aircraft.airline = info.opr.empty() ? info.airl : info.opr;
    aircraft.type = info.type;
}

// A record without positions gets one at its current place, so a respawn has a place to start from.
void keepOnePosition(LiveAc& aircraft) {
    if (!aircraft.stream.empty()) {
        return;
    }
    StreamPos here;
    here.latitude = aircraft.position.latitude;
    here.longitude = aircraft.position.longitude;
    here.altitude = aircraft.position.altitude;
    here.track = aircraft.position.heading * 180.0 / std::numbers::pi;
    here.airborne = aircraft.onGround != 0 ? 0 : 1;
    aircraft.stream.push_back(here);
}

// The position the new object is created at: the current one, or the stand for a parked aircraft.
StreamPos respawnPosition(LiveAc& aircraft) {
    keepOnePosition(aircraft);
    StreamPos& oldest = aircraft.stream.front();
    if (aircraft.phase == AcPhase::parked) {
        aircraft.stream.resize(1);
        oldest.stationary = 1;
        oldest.track = aircraft.position.heading * 180.0 / std::numbers::pi;
        return oldest;
    }
    StreamPos here = oldest;
    here.stationary = 0; // nothing before it in the stream
    here.latitude = aircraft.position.latitude;
    here.longitude = aircraft.position.longitude;
    here.altitude = aircraft.position.altitude;
    here.roll = aircraft.position.bank;
    if (std::fabs(oldest.latitude - here.latitude) < kSamePlaceDegrees &&
        std::fabs(oldest.longitude - here.longitude) < kSamePlaceDegrees) {
        oldest.stationary = 1;
    }
    return here;
}

} // namespace

bool lf_respawnCheck(LiveAc& aircraft, const TrafficReport& report) {
    if (aircraft.takeOffRoll != 0 || aircraft.approach != 0) {
        return true;
    }
    if (aircraft.state == AcState::buffer) {
        lf_updateBufferedIdentity(aircraft, report);
        return true;
    }
    if (aircraft.state != AcState::active || aircraft.phase == AcPhase::pushing_back ||
        aircraft.timingMode >= 1) {
        return true;
    }
    const bool sameRoute = lf_updateRoute(aircraft, report);
    const std::int32_t registration = lf_updateRegistration(aircraft, report);
    const std::string& callsign = report.identity.callsign;
    if (!callsign.empty() && callsign != aircraft.callsign && callsign != aircraft.registration) {
        const bool underscored = callsign.ends_with('_');
        if (underscored && lf_hasLiveTwin(callsign)) {
            return false;
        }
        // Renamed first: a record reported as "X_" and now as "X" is not its own ghost.
        aircraft.callsign = callsign;
        aircraft.firstCallsign = callsign;
        aircraft.coupledCallsign.clear();
        if (!underscored) {
            lf_ghostCheck(callsign);
        }
        return respawn(aircraft);
    }
    if (registration != 0 && sameRoute) {
        return true;
    }
    return respawn(aircraft);
}

void lf_updateBufferedIdentity(LiveAc& aircraft, const TrafficReport& report) {
    const FlightIdentity& news = report.identity;
    for (auto field : {&FlightIdentity::from, &FlightIdentity::to, &FlightIdentity::callsign,
                       &FlightIdentity::registration}) {
        if (!(news.*field).empty()) {
            aircraft.*field = news.*field;
        }
    }
}

bool lf_updateRoute(LiveAc& aircraft, const TrafficReport& report) {
    const FlightIdentity& news = report.identity;
    bool changed = false;
    for (auto field : {&FlightIdentity::to, &FlightIdentity::from}) {
        if ((aircraft.*field).empty() && !(news.*field).empty()) {
            aircraft.*field = news.*field;
            changed = true;
        }
    }
    const bool newRoute = !aircraft.to.empty() && !news.to.empty() && aircraft.to != news.to &&
                          !aircraft.from.empty() && !news.from.empty() && aircraft.from != news.from;
    const std::string& parkIata = parkAirportRecord.iata;
    if (!newRoute || (!parkIata.empty() && aircraft.from == parkIata && news.to == parkIata)) {
        return !changed;
    }
    aircraft.from = news.from;
    aircraft.to = news.to;
    if (aircraft.onGround != 0 && aircraft.phase != AcPhase::parking && aircraft.phase != AcPhase::parked) {
        lf_setPhase(aircraft, AcPhase::taxi);
        aircraft.referenceHeading = aircraft.position.heading;
        // Taxiing, it is off any stand it pushed back from: no number for the stand rules to find it by.
        giveUpStand(aircraft);
    }
    return false;
}

std::int32_t lf_updateRegistration(LiveAc& aircraft, const TrafficReport& report) {
    const std::string& registration = report.identity.registration;
    if (registration.empty()) {
        return 1;
    }
    bool changed = false;
    if (aircraft.registration.empty() ||
        (aircraft.registration == aircraft.callsign && aircraft.registration != registration)) {
        changed = lf_regLiveryChange(aircraft, report);
    } else {
        changed = aircraft.registration != registration && lf_regOperatorChange(aircraft, report);
    }
    aircraft.registration = registration;
    return changed ? 0 : 1;
}

bool lf_regLiveryChange(LiveAc& aircraft, const TrafficReport& report) {
    const std::string& registration = report.identity.registration;
    const auto title = regcodeTitleTable.find(registration);
    if (title != regcodeTitleTable.end()) {
        // Both are views of the livery tables; the text decides.
        if (title->second == aircraft.livery) {
            return false;
        }
        if (const std::optional<RegcodeInfo> info = gf_lookupRegcode(registration)) {
            aircraft.airline = info->airl;
            aircraft.type = info->type;
        }
        lf_forgetLivery(aircraft);
        return true;
    }
    if (registration.empty() || registration == aircraft.registration) {
        return false;
    }
    const std::optional<RegcodeInfo> info = otherOwner(aircraft, registration);
    if (!info) {
        return false;
    }
    takeOwner(aircraft, *info);
    lf_forgetLivery(aircraft);
    return true;
}

bool lf_regOperatorChange(LiveAc& aircraft, const TrafficReport& report) {
    const std::optional<RegcodeInfo> info = otherOwner(aircraft, report.identity.registration);
    if (!info) {
        return false;
    }
    FlightIdentity reported = report.identity;
    if (!gf_airlineFromCallsign(reported)) {
        return false;
    }
    if (reported.airline != info->airl && (info->opr.empty() || reported.airline != info->opr)) {
        return false;
    }
    takeOwner(aircraft, *info);
    if (aircraft.phase == AcPhase::parked && aircraft.standNumber != 0) {
        lf_addRealStandOption(aircraft.standNumber, aircraft, kStandArrivedMode);
    }
    lf_forgetLivery(aircraft);
    return true;
}

void lf_forgetLivery(LiveAc& aircraft) {
    rememberedLiveries.erase(aircraft.hexid);
    aircraft.livery = {};
    // The phase stays: a parked aircraft comes back on its own stand, which it holds meanwhile, and without a
    // respawn the aircraft goes on as it was. The next spawn chooses the livery only.
}

void liveryRespawn(LiveAc& aircraft) {
    try {
        StreamPos start = respawnPosition(aircraft);
        start.duePass = tickCounter.load() + 1;
        aircraft.stream.push_front(start);
        aircraft.state = AcState::liveryrespawn;
        aircraft.respawnHeading = aircraft.position.heading;
        aircraft.respawnFlag = 1;
        if (aircraft.objectId != 0) {
            removalQueue.push_back(aircraft.objectId);
            return;
        }
        gf_logLine(
            fmt::format("{} removing act {} with objectid=0 ?", gf_acLogPrefix(aircraft), "liveryRespawn"));
        // No removal will be reported for an object that was never made: the record goes back to buffer now,
        // or the intake would drop its reports for good.
        lf_returnToBuffer(aircraft);
    } catch (const std::exception& error) {
        gf_logLine(fmt::format("{}: {}", "liveryRespawn", error.what()));
    }
}

} // namespace zeph
