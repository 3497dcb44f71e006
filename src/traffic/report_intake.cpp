#include "traffic/report_intake.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include <fmt/format.h>

#include "aircraft/ac_profile.h"
#include "aircraft/aircraft_database.h"
#include "aircraft/regcodes.h"
#include "core/log.h"
#include "settings/parameter_table.h"
#include "traffic/park_airport_status.h"
#include "traffic/position_stream.h"
#include "traffic/respawn.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

// Distances in nautical miles that a report must have covered since the last one to count as news:
// 450 m in the air, 20 m on the ground.
constexpr double kAirborneNewsNm = 0.2429805615550756;
constexpr double kGroundNewsNm = 0.010799136069114472;
// A ground report at walking pace waits no longer than this for its 20 m.
constexpr double kLongestGroundWaitSeconds = 15.0;

bool isFiniteReport(const TrafficReport& report) {
    const StreamPos& p = report.position;
    const bool optionalsFinite =
        (!p.roll || std::isfinite(*p.roll)) && (!p.trueHeading || std::isfinite(*p.trueHeading));
    return std::isfinite(report.reportTime) && std::isfinite(p.latitude) && std::isfinite(p.longitude) &&
           std::isfinite(p.altitude) && std::isfinite(p.groundSpeed) && std::isfinite(p.track) &&
           std::isfinite(p.verticalRate) && std::isfinite(p.trueAirspeed) && optionalsFinite;
}

// Close to the park airport's own elevation a reported altitude does not tell an aircraft on its ground
// from one just above it; such reports are left out rather than flown at the wrong height. Without a park
// airport the reference lies far below every reported altitude, so nothing is refused.
bool refusedAtParkAirportAltitude(double altitude) {
    const double reference = parkAirportRecord.code.empty() ? -1000.0 : parkAirportRecord.altitude;
    return altitude > 0.0 && altitude < 10000.0 && std::fabs(altitude - reference) <= 108.0;
}

bool knownUnderAnotherHexid(const FlightIdentity& identity) {
    for (const LiveAc& aircraft : liveAcTable) {
        if (aircraft.callsign == identity.callsign && aircraft.type == identity.type) {
            return true;
        }
    }
    return false;
}

// A jump of ten times the speed, or between standing and 80 kt, in one report is a bad report.
bool isSpeedJump(double newest, double reported) {
    return (newest > 5.0 && reported >= 10.0 * newest) || (reported > 5.0 && newest >= 10.0 * reported) ||
           (newest <= 5.0 && reported >= 80.0) || (reported <= 5.0 && newest >= 80.0);
}

// A report that has not had time to move the aircraft visibly along the same track adds nothing to the
// motion but a jitter.
bool comesTooSoon(const StreamPos& newest, const StreamPos& reported, double elapsedSeconds) {
    const double trackDifference = std::fabs(reported.track - newest.track);
    const double speed = reported.groundSpeed;
    if (reported.airborne != 0) {
        return speed > 120.0 && trackDifference <= 1.0 &&
               elapsedSeconds <= kAirborneNewsNm / (speed / 3600.0);
    }
    if (speed > 30.0 || trackDifference > 2.0) {
        return false;
    }
    const double wait = speed == 0.0 ? kLongestGroundWaitSeconds
                                     : std::fmin(kGroundNewsNm / (speed / 3600.0), kLongestGroundWaitSeconds);
    return elapsedSeconds <= wait;
}

bool passesKnownAircraftFilters(const LiveAc& aircraft, const TrafficReport& report) {
    if (aircraft.stream.empty()) {
        return true;
    }
    const StreamPos& newest = aircraft.stream.back();
    const double elapsed = report.reportTime - aircraft.lastReportTime;
    if (report.reportTime <= aircraft.lastReportTime + 1.0) { // also a repeat of the same report
        return false;
    }
    if (isSpeedJump(newest.groundSpeed, report.position.groundSpeed)) {
        return false;
    }
    return aircraft.timingMode >= 1 || !comesTooSoon(newest, report.position, elapsed);
}

void applyToKnownAircraft(LiveAc& aircraft, const TrafficReport& report) {
    if (aircraft.state == AcState::liveryrespawn || aircraft.state == AcState::removingfromsim) {
        return;
    }
    if (!passesKnownAircraftFilters(aircraft, report)) {
        return;
    }
    if (aircraft.state == AcState::buffer && refusedAtParkAirportAltitude(report.position.altitude)) {
        return;
    }
    if (!lf_respawnCheck(aircraft, report)) {
        return;
    }
    aircraft.lastReportTime = report.reportTime;
    decodeExisting(aircraft, report.position);
}

} // namespace

bool isWantedKind(AcKind kind) {
    switch (kind) {
    case AcKind::Light:
        return LIGHT_AIRCRAFT.get();
    case AcKind::HighPerf:
        return HIGH_PERF_AIRCRAFT.get();
    case AcKind::Rotorcraft:
        return HELICOPTERS.get();
    case AcKind::Buzjets:
    case AcKind::Large:
    case AcKind::Heavy:
        return true;
    }
    return false;
}

void lf_processRtRecord(TrafficReport& report) {
    // A NaN passes every comparison of the filters and would reach the simulator as a position.
    if (!isFiniteReport(report)) {
        gf_logLine(
            fmt::format("! lf_processRtRecord: non-finite value, report of hexid {} dropped", report.hexid));
        return;
    }
    // No reference into the live table outlives this call: the intake of a new aircraft appends to it.
    if (LiveAc* known = gf_findLiveAc(report.hexid)) {
        applyToKnownAircraft(*known, report);
        return;
    }
    if (report.identity.callsign.empty() || liveAcTable.empty() || !knownUnderAnotherHexid(report.identity)) {
        lf_checkNewReport(report);
    }
}

void lf_checkNewReport(TrafficReport& report) {
    if (!report.identity.registration.empty()) {
        const std::optional<RegcodeInfo> found = gf_lookupRegcode(report.identity.registration);
        if (found && !found->type.empty()) {
            report.identity.type = found->type;
        }
    }
    if (gf_isKnownAircraftType(report.identity.type)) {
        lf_addNewLiveAc(report);
    }
}

void lf_addNewLiveAc(TrafficReport& report) {
    const auto kind = static_cast<AcKind>(gf_categoryOfType(report.identity.type));
    if (!isWantedKind(kind) || refusedAtParkAirportAltitude(report.position.altitude)) {
        return;
    }
    report.identity.firstCallsign = report.identity.callsign;
    report.identity.coupledCallsign.clear();
    report.identity.coupledSearchDone = 0;
    AcProfile profile = gf_makeAcProfile(report.identity);
    profile.hexid = report.hexid;
    profile.turnRate = profile.baseTurnRate;
    const KindValues& values = kindValuesOf(profile.kind);
    profile.climbStep = values.climbStep;
    profile.slowTaxiSpeed = values.slowTaxiSpeed;
    liveAcTable.emplace_back(report.position, std::move(profile), report.reportTime);
}

} // namespace zeph
