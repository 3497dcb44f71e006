#include "aircraft/ac_profile.h"

#include <numbers>

#include "aircraft/aircraft_database.h"
#include "core/random.h"

namespace zeph {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

} // namespace

AcProfile gf_makeAcProfile(const FlightIdentity& identity) {
    AcProfile profile;
    static_cast<FlightIdentity&>(profile) = identity;
    profile.radius = gf_wingspanOfType(identity.type);
    profile.kind = static_cast<AcKind>(gf_categoryOfType(identity.type));
    const KindValues& values = kindValuesOf(profile.kind);
    profile.flarePasses = values.flarePasses;
    profile.touchDownPasses = values.touchDownPasses;
    profile.rotationPasses = values.rotationPasses;
    profile.climbPitchPasses = values.climbPitchPasses;
    // The two pitches vary a little from aircraft to aircraft, so a row of departures does not look cloned.
    profile.rotationPitch = gf_randomVariation(values.rotationPitchDeg, 2.5) * kRadiansPerDegree;
    profile.climbPitch = gf_randomVariation(values.climbPitchDeg, 5.0) * kRadiansPerDegree;
    profile.baseTurnRate = values.turnRateDeg * kRadiansPerDegree;
    return profile;
}

} // namespace zeph
