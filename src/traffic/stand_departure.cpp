#include "traffic/stand_departure.h"

#include <cmath>
#include <numbers>

#include <fmt/format.h>

#include "airports/stands.h"
#include "core/log.h"
#include "sim/commands.h"
#include "traffic/ground_motion.h"
#include "traffic/making_way.h"
#include "traffic/motion_lights.h"
#include "traffic/position_stream.h"
#include "traffic/stand_parking.h"
#include "traffic/stream_geometry.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

// A target of the stand departure at the slow taxi speed, due after the given passes.
StreamPos slowTarget(const LiveAc& aircraft, GeoPoint point, std::int64_t after) {
    StreamPos target;
    target.latitude = point.lat;
    target.longitude = point.lon;
    target.groundSpeed = aircraft.slowTaxiSpeed;
    target.duePass = tickCounter.load() + after;
    return target;
}

// Passes to cover a distance at the slow taxi speed.
std::int64_t slowPasses(const LiveAc& aircraft, GeoPoint from, GeoPoint to) {
    return static_cast<std::int64_t>(
        std::round(gf_greatCircleDistance(from, to) / aircraft.slowTaxiSpeed * 360000.0));
}

// The aircraft now drives off by itself: slow head, stream cut back to it.
void startLeaving(LiveAc& aircraft) {
    aircraft.timingMode = 0;
    aircraft.stream.front().groundSpeed = aircraft.slowTaxiSpeed;
    aircraft.stream.resize(1);
}

} // namespace

bool lf_leavesForwards(double offDegrees) { return std::fabs(std::round(offDegrees)) < 90.0; }

StandPlace lf_standPlace(const LiveAc& aircraft) {
    if (const ParkPos* stand = gf_standByNumber(aircraft.standNumber)) {
        return StandPlace{GeoPoint{stand->latitude, stand->longitude}, stand->heading};
    }
    return StandPlace{GeoPoint{aircraft.standLatitude, aircraft.standLongitude}, aircraft.standHeading};
}

void lf_pushBack(LiveAc& aircraft) {
    const ParkPos* stand = gf_standByNumber(aircraft.standNumber);
    if (stand == nullptr || aircraft.stream.empty() || !(aircraft.slowTaxiSpeed > 0.0)) {
        return;
    }
    const double push = intoFullCircle(stand->heading + std::numbers::pi);
    const GeoPoint here = pointOf(aircraft.position);
    const GeoPoint behind = gf_destinationPoint(here, push, stand->radius * 2.5 * kFeetPerNm);
    startLeaving(aircraft);
    aircraft.referenceHeading = aircraft.position.heading;
    aircraft.stream.push_back(slowTarget(aircraft, behind, slowPasses(aircraft, here, behind)));
    lf_insertMidpoint(aircraft);
    const StreamPos& middle = aircraft.stream[1];
    const double sideFeet = aircraft.radius * kFeetPerNm;
    const GeoPoint reserved =
        gf_destinationPoint(behind, intoFullCircle(push + std::numbers::pi / 2.0), sideFeet);
    const GeoPoint other =
        gf_destinationPoint(behind, intoFullCircle(push - std::numbers::pi / 2.0), sideFeet);
    // The ends are due half the way to B plus the drive from the midpoint to them.
    const std::int64_t half = middle.duePass - tickCounter.load();
    aircraft.pushBackEnd =
        slowTarget(aircraft, reserved, half + slowPasses(aircraft, pointOf(middle), reserved));
    aircraft.stream.push_back(
        slowTarget(aircraft, other, half + slowPasses(aircraft, pointOf(middle), other)));
    gf_setLights(aircraft.objectId, kLightsLeaveStand);
    lf_setPhase(aircraft, AcPhase::pushing_back);
    aircraft.pushBackPieces = 2;
}

void lf_pullOut(LiveAc& aircraft) {
    if (aircraft.stream.empty() || !(aircraft.slowTaxiSpeed > 0.0)) {
        return;
    }
    aircraft.leavingStand = 0;
    const StandPlace stand = lf_standPlace(aircraft);
    const GeoPoint ahead =
        gf_destinationPoint(stand.point, stand.heading, 2.0 * aircraft.radius * kFeetPerNm);
    startLeaving(aircraft);
    aircraft.stream.push_back(
        slowTarget(aircraft, ahead, slowPasses(aircraft, pointOf(aircraft.position), ahead)));
    lf_setPhase(aircraft, AcPhase::taxi);
    aircraft.referenceHeading = aircraft.position.heading;
    gf_setLights(aircraft.objectId, kLightsLeaveStand);
    gf_engineStart(aircraft.objectId);
    gf_setThrottle(aircraft, 0);
    gf_setFlaps(aircraft, 1);
    gf_logText(fmt::format("{:8}: {:8} pulling out", lf_standText(aircraft.standNumber), aircraft.callsign));
    // Off the stand it holds no number that a later removal could free under another aircraft.
    giveUpStand(aircraft);
}

} // namespace zeph
