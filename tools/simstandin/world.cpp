#include "simstandin/world.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace zeph::standin {

namespace {

constexpr double kEarthRadiusMetres = 6371008.8;
constexpr std::uint32_t kTrafficIdBase = 1000000;

double toRadians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

bool isLeap(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

bool sameTitle(const std::string& a, const std::string& b) { return a == b; }

} // namespace

std::int64_t WorldClock::nowMs() const {
    if (manual) {
        return manualMs;
    }
    const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return wall.count() + offsetMs;
}

void WorldClock::set(std::int64_t utcMs) {
    if (manual) {
        manualMs = utcMs;
        return;
    }
    offsetMs = 0;
    offsetMs = utcMs - nowMs();
}

ZuluParts zuluOf(std::int64_t utcMs) {
    const std::int64_t seconds = floorDiv(utcMs, 1000);
    const std::int64_t days = floorDiv(seconds, 86400);
    ZuluParts parts;
    parts.secondsOfDay = seconds - days * 86400;
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civilFromDays(days, year, month, day);
    static constexpr std::array<int, 12> kDaysBefore = {0,   31,  59,  90,  120, 151,
                                                        181, 212, 243, 273, 304, 334};
    parts.dayOfYear =
        kDaysBefore.at(month - 1) + static_cast<std::int64_t>(day) + (month > 2 && isLeap(year) ? 1 : 0);
    parts.year = year;
    return parts;
}

bool reportsOnGround(const SimObject& object, double ground) {
    constexpr double kMarginFeet = 1.0;
    if (object.kind != ObjectKind::Ai) {
        return object.onGround;
    }
    return object.alt - ground <= object.staticCgFeet + kMarginFeet;
}

double distanceMetres(double lat1, double lon1, double lat2, double lon2) {
    const double dLat = toRadians(lat2 - lat1);
    const double dLon = toRadians(lon2 - lon1);
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) + std::cos(toRadians(lat1)) *
                                                                   std::cos(toRadians(lat2)) *
                                                                   std::sin(dLon / 2) * std::sin(dLon / 2);
    const double clamped = std::clamp(a, 0.0, 1.0);
    return 2.0 * kEarthRadiusMetres * std::asin(std::sqrt(clamped));
}

World::World(const WorldLimits& limits)
    : userId_(limits.userObjectId == 0 ? 1 : limits.userObjectId), nextAiId_(limits.aiObjectBase),
      nextTrafficId_(kTrafficIdBase), positionHistory_(limits.positionHistory) {
    SimObject user;
    user.id = userId_;
    user.kind = ObjectKind::User;
    objects_.emplace(userId_, user);
    packets.limit = limits.logLimit;
    violations.limit = limits.logLimit;
    clientEvents.limit = limits.logLimit;
    created.limit = limits.logLimit;
    removed.limit = limits.logLimit;
    flightPlans.limit = limits.logLimit;
}

SimObject* World::find(std::uint32_t id) {
    const auto it = objects_.find(id == 0 ? userId_ : id);
    return it == objects_.end() ? nullptr : &it->second;
}

SimObject& World::addAi(std::uint32_t owner, const CreateAircraftPacket& create) {
    while (nextAiId_ == 0 || objects_.contains(nextAiId_)) {
        ++nextAiId_;
    }
    SimObject ai;
    ai.id = nextAiId_++;
    ai.kind = ObjectKind::Ai;
    ai.owner = owner;
    ai.title = create.title;
    ai.atcId = create.tailNumber;
    ai.lat = create.init.lat;
    ai.lon = create.init.lon;
    ai.alt = create.init.alt;
    ai.pitch = toRadians(create.init.pitch);
    ai.bank = toRadians(create.init.bank);
    ai.heading = toRadians(create.init.heading);
    ai.onGround = create.init.onGround != 0;
    ai.airspeed = create.init.airspeed;
    const auto cg = staticCg.find(create.title);
    if (cg != staticCg.end()) {
        ai.staticCgFeet = cg->second.first;
        ai.staticPitchRad = cg->second.second;
    }
    return objects_.emplace(ai.id, ai).first->second;
}

SimObject& World::addTraffic(SimObject traffic) {
    while (objects_.contains(nextTrafficId_)) {
        ++nextTrafficId_;
    }
    traffic.id = nextTrafficId_++;
    traffic.kind = ObjectKind::Traffic;
    return objects_.emplace(traffic.id, traffic).first->second;
}

bool World::remove(std::uint32_t id, std::uint32_t byConnection, const std::string& reason) {
    const auto it = objects_.find(id);
    if (it == objects_.end() || it->second.kind == ObjectKind::User) {
        return false;
    }
    objects_.erase(it);
    positions_.erase(id);
    removed.push({id, byConnection, reason});
    return true;
}

std::vector<std::uint32_t> World::aiOwnedBy(std::uint32_t connection) const {
    std::vector<std::uint32_t> ids;
    for (const auto& [id, object] : objects_) {
        if (object.kind == ObjectKind::Ai && object.owner == connection) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::vector<std::uint32_t> World::aircraftWithin(double radius) const {
    const SimObject& me = user();
    std::vector<std::uint32_t> ids{me.id};
    if (radius <= 0.0) {
        return ids;
    }
    for (const auto& [id, object] : objects_) {
        if (id != me.id && distanceMetres(me.lat, me.lon, object.lat, object.lon) <= radius) {
            ids.push_back(id);
        }
    }
    return ids;
}

void World::recordPosition(const SimObject& object) {
    BoundedLog<PositionSample>& log = positions_[object.id];
    log.limit = positionHistory_;
    log.push({frame, clock.nowMs(), object.lat, object.lon, object.pitch, object.bank, object.heading,
              object.alt, object.verticalSpeed, object.airspeed});
}

const BoundedLog<PositionSample>* World::positions(std::uint32_t id) const {
    const auto it = positions_.find(id);
    return it == positions_.end() ? nullptr : &it->second;
}

bool World::titleRefused(const std::string& title) const {
    for (const std::string& refused : refusedTitles) {
        if (sameTitle(refused, title)) {
            return true;
        }
    }
    if (installedTitles) {
        return std::none_of(installedTitles->begin(), installedTitles->end(),
                            [&](const std::string& t) { return sameTitle(t, title); });
    }
    return false;
}

} // namespace zeph::standin
