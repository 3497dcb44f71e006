#include "airports/auto_range.h"

#include <array>
#include <cmath>
#include <mutex>
#include <optional>
#include <utility>

#include <gsl/narrow>

#include "airports/park_airport_list.h"
#include "core/geodesy.h"
#include "settings/control_sink.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "state/status_line.h"
#include "state/user_position.h"

namespace zeph {

namespace {

// Without a park airport in the list the distance counts as far away.
constexpr double noParkAirportNm = 10000.0;

// The first park airport's position, read under its own lock and never while another is held.
std::optional<GeoPoint> firstParkAirport() {
    const std::lock_guard lock(parkAirportListMutex);
    if (parkAirportList.empty()) {
        return std::nullopt;
    }
    return GeoPoint{parkAirportList.front().latitude, parkAirportList.front().longitude};
}

// Whole nautical miles from the park airport, each threshold with its range, from the top.
constexpr std::array<std::pair<std::int32_t, std::int32_t>, 9> distanceSteps{
    {{33, 35}, {28, 30}, {23, 25}, {19, 20}, {17, 18}, {15, 16}, {13, 14}, {11, 12}, {9, 10}}};

} // namespace

std::int32_t chooseAutoRange(bool onGround, double altitudeFeet, double distanceNm) {
    if (onGround) {
        return 10;
    }
    if (altitudeFeet > AR_ABOVE_HEIGHT.get()) {
        return 100;
    }
    if (altitudeFeet > AIRP_HEIGHT.get()) {
        return 40;
    }
    if (distanceNm <= 7.0) {
        return 10;
    }
    if (distanceNm >= 37.0) {
        return 40;
    }
    const auto n = gsl::narrow<std::int32_t>(std::lround(distanceNm));
    for (const auto& [atLeast, range] : distanceSteps) {
        if (n >= atLeast) {
            return range;
        }
    }
    return 8;
}

// The user snapshot and the list are read one after the other: userDataMutex never nests in the list's lock.
void lf_autoRange() {
    const UserAircraftSnapshot user = userAircraftSnapshot();
    const GeoPoint here{user.position.latitude, user.position.longitude};
    const std::optional<GeoPoint> airport = firstParkAirport();
    const double distance = airport ? gf_greatCircleDistance(here, *airport) : noParkAirportNm;
    gf_setRange(chooseAutoRange(user.onGround, user.position.altitude, distance), false);
}

void lf_applyAutoRange() {
    const bool automatic = AUTO_RANGE.get();
    if (automatic) {
        lf_autoRange();
    } else {
        gf_setRange(rememberedRange.load());
        gf_clearStatus();
    }
    controlSink().enable(RANGE, !automatic);
}

} // namespace zeph
