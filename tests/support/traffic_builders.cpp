#include "support/traffic_builders.h"

#include <mutex>
#include <numbers>
#include <utility>

#include "aircraft/ac_profile.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"
#include "traffic/traffic_tables.h"

namespace zeph::test {
namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

FlightIdentity identityOf(const ReportSpec& spec) {
    FlightIdentity identity;
    identity.airline = spec.airline;
    identity.type = spec.type;
    identity.callsign = spec.callsign;
    identity.registration = spec.registration;
    return identity;
}

} // namespace

void placeUserAircraft(GeoPoint at, double altitude) {
    UserAcPosition position;
    position.latitude = at.lat;
    position.longitude = at.lon;
    position.altitude = altitude;
    const std::lock_guard simLock(simConnectMutex);
    simUserData = position;
    const std::lock_guard userLock(userDataMutex);
    userAcPosition = position;
}

void placeUserAircraft(const UserAcPosition& position, bool onGround) {
    const std::lock_guard simLock(simConnectMutex);
    simUserData = position;
    const std::lock_guard userLock(userDataMutex);
    userAcPosition = position;
    userOnGround = onGround ? 1 : 0;
    userOnGroundKnown = 1;
}

GeoPoint pointFromUser(double distanceNm, double bearingDeg) {
    const GeoPoint user{userAcPosition.latitude, userAcPosition.longitude};
    return gf_destinationPoint(user, bearingDeg * kRadiansPerDegree, distanceNm * kFeetPerNm);
}

StreamPos movedPosition(const StreamPos& from, double bearingDeg, double metres, std::int64_t after) {
    StreamPos p = from;
    const GeoPoint to = gf_destinationPoint({from.latitude, from.longitude}, bearingDeg * kDegToRad,
                                            metres / kMetresPerNm * kFeetPerNm);
    p.latitude = to.lat;
    p.longitude = to.lon;
    p.duePass += after;
    p.stationary = 0;
    return p;
}

StreamPos makePosition(const ReportSpec& spec) {
    const GeoPoint at = pointFromUser(spec.distanceNm, spec.bearingDeg);
    StreamPos position;
    position.latitude = at.lat;
    position.longitude = at.lon;
    position.altitude = spec.altitude;
    position.groundSpeed = spec.groundSpeed;
    position.trueAirspeed = spec.groundSpeed;
    position.track = spec.track;
    position.airborne = spec.airborne ? 1 : 0;
    position.duePass = tickCounter.load() + 3000;
    return position;
}

TrafficReport makeReport(const ReportSpec& spec) {
    TrafficReport report;
    report.identity = identityOf(spec);
    report.position = makePosition(spec);
    report.reportTime = spec.reportTime;
    report.hexid = spec.hexid;
    return report;
}

LiveAc makeLiveAc(const ReportSpec& spec, AcState state, std::uint32_t objectId) {
    AcProfile profile = gf_makeAcProfile(identityOf(spec));
    profile.firstCallsign = spec.callsign;
    profile.hexid = spec.hexid;
    profile.turnRate = profile.baseTurnRate;
    profile.climbStep = kindValuesOf(profile.kind).climbStep;
    profile.slowTaxiSpeed = kindValuesOf(profile.kind).slowTaxiSpeed;
    const StreamPos position = makePosition(spec);
    LiveAc aircraft(position, std::move(profile), spec.reportTime);
    aircraft.position.latitude = position.latitude;
    aircraft.position.longitude = position.longitude;
    aircraft.position.altitude = position.altitude;
    aircraft.position.heading = spec.track * kRadiansPerDegree;
    aircraft.position.trueAirspeed = position.trueAirspeed;
    aircraft.onGround = spec.airborne ? 0 : 1;
    aircraft.state = state;
    aircraft.objectId = objectId;
    return aircraft;
}

StaticAc makeStaticAc(const StaticSpec& spec) {
    FlightIdentity identity;
    identity.airline = spec.airline;
    identity.type = spec.type;
    identity.callsign = spec.callsign;
    AcProfile profile = gf_makeAcProfile(identity);
    profile.hexid = spec.hexid;
    const GeoPoint at = pointFromUser(spec.distanceNm, spec.bearingDeg);
    StaticAc aircraft(std::move(profile), spec.standNumber, at.lat, at.lon, 0.0, false);
    aircraft.state = spec.state;
    aircraft.objectId = spec.objectId;
    return aircraft;
}

} // namespace zeph::test
