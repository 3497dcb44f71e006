#include "support/traffic_script.h"

#include "traffic/traffic_tables.h"

namespace zeph::test {

TrafficReport airlinerReport() {
    TrafficReport r;
    r.hexid = 4000001;
    r.identity.type = "B738";
    r.identity.from = "ZRH";
    r.identity.to = "FRA";
    r.identity.callsign = "TST123";
    r.identity.registration = "D-ABCD";
    r.position = StreamPos{.latitude = 47.0,
                           .longitude = 8.0,
                           .altitude = 12000,
                           .groundSpeed = 300,
                           .trueAirspeed = 330,
                           .airborne = 1,
                           .roll = {},
                           .trueHeading = {}};
    r.reportTime = 1700000000;
    return r;
}

std::vector<ScriptedReport> straightFlight(const TrafficReport& first, int reports, std::int64_t everyPasses,
                                           double everySeconds) {
    const StreamPos& p = first.position;
    std::vector<ScriptedReport> script;
    for (int k = 0; k < reports; ++k) {
        const double feet = p.groundSpeed * everySeconds * k / 3600.0 * kFeetPerNm;
        const GeoPoint at = gf_destinationPoint({p.latitude, p.longitude}, p.track * kDegToRad, feet);
        ScriptedReport& next = script.emplace_back(ScriptedReport{k * everyPasses, first});
        next.report.position.latitude = at.lat;
        next.report.position.longitude = at.lon;
        next.report.reportTime += k * everySeconds;
    }
    return script;
}

FlightSpan watchFlight(PassHarness& harness, std::uint32_t hexid, std::int64_t passes) {
    FlightSpan span;
    for (std::int64_t pass = 0; pass < passes; ++pass) {
        harness.run(1);
        const LiveAc* a = gf_findLiveAc(hexid);
        const bool active = a != nullptr && a->state == AcState::active;
        span.activeAt = (active && span.activeAt < 0) ? harness.passesRun() - 1 : span.activeAt;
        span.leftAt =
            (!active && span.activeAt >= 0 && span.leftAt < 0) ? harness.passesRun() - 1 : span.leftAt;
    }
    return span;
}

} // namespace zeph::test
