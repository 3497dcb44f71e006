#include "airports/stands.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "model/records.h"
#include "state/main_window_state.h"
#include "state/user_position.h"

namespace zeph {

std::vector<ParkPos> standList;
std::mutex standListMutex;
ClosestStandCache closestStandCache;
std::uint32_t learnedUpdateCount = 0;

namespace {
// 55 m: a stand farther away is not where the aircraft stands.
constexpr double kStandReachNm = 0.029697624190064796;
constexpr double kFarAwayNm = 900.0;
// Positions closer than this in both coordinates count as the same, degrees.
constexpr double kSamePositionDeg = 1e-8;
// A stand fits an aircraft whose half span is at most this much larger than its radius (1.8 m). Both
// sizes come in metres and are kept in nautical miles; the slack keeps exactly 1.8 m a fit whichever way
// the conversions round.
constexpr double kFitToleranceNm = 0.0009719222462203025 + 1e-12;
// A stand too small for the aircraft is still the one it stands on when it is this near (20 m).
constexpr double kMisfitReachNm = 0.010799136069114472;
// A farther stand is taken only through a learned use within this reach (85 m).
constexpr double kLearnedReachNm = 0.0458963282937365;

bool userIsOnGround() {
    const std::lock_guard lock(userDataMutex);
    return userOnGround != 0;
}

bool samePosition(const GeoPoint& a, const GeoPoint& b) {
    return std::fabs(a.lat - b.lat) < kSamePositionDeg && std::fabs(a.lon - b.lon) < kSamePositionDeg;
}

bool isFinite(const GeoPoint& p) { return std::isfinite(p.lat) && std::isfinite(p.lon); }

bool knownToUse(const ParkPos& stand, const AcProfile& aircraft) {
    return std::any_of(stand.uses.begin(), stand.uses.end(), [&](const StandUse& use) {
        return gf_standUseMatches(aircraft.callsign, aircraft, use);
    });
}
} // namespace

void lf_clearParkPositions() {
    const std::lock_guard lock(standListMutex);
    standList.clear();
    closestStandCache = ClosestStandCache{};
}

void gf_appendStand(ParkPos&& stand) {
    const std::lock_guard lock(standListMutex);
    standList.push_back(std::move(stand));
    // The client thread may have asked while the list was half read; the stand may be nearer.
    closestStandCache = ClosestStandCache{};
}

void gf_noteLearnedUpdate() {
    ++learnedUpdateCount;
    const auto shown = static_cast<std::uint32_t>(mainWindowState.learnedUpdates.load());
    if (shown != learnedUpdateCount) {
        mainWindowState.learnedUpdates.store(static_cast<std::int32_t>(learnedUpdateCount));
        mainWindowState.invalidateArea(countersArea);
    }
}

std::string gf_closestStandId(GeoPoint position) {
    if (!isFinite(position) || !userIsOnGround()) {
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
    return std::find_if(standList.begin(), standList.end(),
                        [&](const ParkPos& stand) { return stand.id == id; });
}

ParkPos* gf_standByNumber(std::uint32_t number) {
    if (number == 0) {
        return nullptr;
    }
    const auto found = std::find_if(standList.begin(), standList.end(),
                                    [number](const ParkPos& stand) { return stand.number == number; });
    return found != standList.end() ? &*found : nullptr;
}

void gf_occupyStand(std::uint32_t number, std::uint32_t hexid) {
    ParkPos* stand = gf_standByNumber(number);
    if (stand != nullptr && (!stand->occupied || stand->occupant == hexid)) {
        stand->occupied = true;
        stand->occupant = hexid;
    }
}

void gf_freeStand(std::uint32_t number, std::uint32_t hexid) {
    ParkPos* stand = gf_standByNumber(number);
    if (stand != nullptr && stand->occupant == hexid) {
        stand->occupied = false;
        stand->occupant = 0;
    }
}

std::vector<ParkPos>::iterator gf_findStandFor(GeoPoint position, const AcProfile& aircraft,
                                               double maxDistance, bool useLearned) {
    const double halfSpan = aircraft.radius;
    // A NaN half span would take a misfit stand and write a NaN radius into it.
    if (!isFinite(position) || !std::isfinite(halfSpan)) {
        return standList.end();
    }
    auto result = standList.end();
    auto learned = standList.end();
    auto tooSmall = standList.end();
    double best = kFarAwayNm;
    double learnedBest = kFarAwayNm;
    bool tryLearned = useLearned;
    for (auto stand = standList.begin(); stand != standList.end(); ++stand) {
        if (stand->occupied) {
            continue;
        }
        const double distance = gf_greatCircleDistance(position, GeoPoint{stand->latitude, stand->longitude});
        const bool fits = halfSpan - stand->radius <= kFitToleranceNm;
        if (distance <= maxDistance && distance < best) {
            if (fits || distance <= kMisfitReachNm) {
                result = stand;
                best = distance;
                tryLearned = false;
                tooSmall = fits ? tooSmall : stand;
            }
        } else if (tryLearned && distance <= kLearnedReachNm && distance < learnedBest && fits &&
                   !aircraft.callsign.empty() && knownToUse(*stand, aircraft)) {
            learned = stand;
            learnedBest = distance;
        }
    }
    if (result == standList.end()) {
        result = learned;
    }
    if (result == standList.end() || result->heli != (aircraft.kind == AcKind::Rotorcraft)) {
        return standList.end();
    }
    if (result == tooSmall) {
        result->radiusChanged = true;
        result->radius = halfSpan - kNmPerMetre;
        gf_noteLearnedUpdate();
    }
    return result;
}

} // namespace zeph
