#include "airports/stands.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "sim/user_aircraft.h"
#include "traffic/records.h"

namespace zeph {

std::vector<ParkPos> standList;
std::mutex standListMutex;
ClosestStandCache closestStandCache;

namespace {
constexpr double kNmPerMetre = 0.0005399568034557236;
constexpr std::size_t kAdjacentRoom = 8;
// 55 m: a stand farther away is not where the aircraft stands.
constexpr double kStandReachNm = 0.029697624190064796;
constexpr double kFarAwayNm = 900.0;
// Positions closer than this in both coordinates count as the same, degrees.
constexpr double kSamePositionDeg = 1e-8;
// A stand fits an aircraft whose half span is at most this much larger than its radius (1.8 m).
constexpr double kFitToleranceNm = 0.0009719222462203025;
// A stand too small for the aircraft is still the one it stands on when it is this near (20 m).
constexpr double kMisfitReachNm = 0.010799136069114472;

bool userIsOnGround() {
    const std::lock_guard lock(userDataMutex);
    return userOnGround != 0;
}

bool samePosition(const GeoPoint& a, const GeoPoint& b) {
    return std::fabs(a.lat - b.lat) < kSamePositionDeg && std::fabs(a.lon - b.lon) < kSamePositionDeg;
}
} // namespace

ParkPos::ParkPos(std::string&& standId, const double position[3], double radiusMetres, bool isCargo,
                 bool isRamp, bool isHeli)
    : id(std::move(standId)), latitude(position[0]), longitude(position[1]), heading(position[2]),
      radius(radiusMetres * kNmPerMetre), cargo(isCargo), ramp(isRamp), heli(isHeli) {
    adjacentStands.reserve(kAdjacentRoom);
}

void lf_clearParkPositions() {
    const std::lock_guard lock(standListMutex);
    standList.clear();
}

std::string gf_closestStandId(GeoPoint position) {
    if (!userIsOnGround()) {
        return {};
    }
    const std::lock_guard lock(standListMutex);
    if (standList.empty()) {
        return {};
    }
    if (closestStandCache.valid && samePosition(closestStandCache.position, position)) {
        return closestStandCache.id;
    }
    std::string closest;
    double best = kFarAwayNm;
    for (const ParkPos& stand : standList) {
        const double distance = gf_greatCircleDistance(position, GeoPoint{stand.latitude, stand.longitude});
        if (distance <= kStandReachNm && distance < best) {
            closest = stand.id;
            best = distance;
        }
    }
    closestStandCache = ClosestStandCache{position, true, closest};
    return closest;
}

std::vector<ParkPos>::iterator gf_findStand(const std::string& id) {
    return std::find_if(standList.begin(), standList.end(), [&](const ParkPos& stand) { return stand.id == id; });
}

ParkPos* gf_standByNumber(std::uint32_t number) {
    if (number == 0) {
        return nullptr;
    }
    const auto found = std::find_if(standList.begin(), standList.end(),
                                    [number](const ParkPos& stand) { return stand.number == number; });
    return found != standList.end() ? &*found : nullptr;
}

void gf_freeStand(std::uint32_t number) {
    if (ParkPos* stand = gf_standByNumber(number)) {
        stand->occupied = false;
    }
}

std::vector<ParkPos>::iterator gf_findStandFor(GeoPoint position, const AcProfile& aircraft, double maxDistance,
                                               bool /*useLearned*/) {
    auto result = standList.end();
    double best = kFarAwayNm;
    for (auto stand = standList.begin(); stand != standList.end(); ++stand) {
        if (stand->occupied) {
            continue;
        }
        const double distance = gf_greatCircleDistance(position, GeoPoint{stand->latitude, stand->longitude});
        if (distance > maxDistance || distance >= best) {
            continue;
        }
        const bool fits = aircraft.radius - stand->radius <= kFitToleranceNm;
        if (fits || distance <= kMisfitReachNm) {
            result = stand;
            best = distance;
        }
    }
    if (result == standList.end()) {
        return result;
    }
    const bool rotorcraft = aircraft.kind == AcKind::Rotorcraft;
    return result->heli == rotorcraft ? result : standList.end();
}

} // namespace zeph
