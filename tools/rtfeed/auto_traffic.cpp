#include "rtfeed/auto_traffic.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <fmt/format.h>

namespace zeph::rtfeed {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// A spread of values in [0, 1) that differs per aircraft and per quantity, the same on every run.
double spread(int aircraft, int quantity) {
    const double x = std::sin((aircraft + 1) * 12.9898 + quantity * 78.233) * 43758.5453;
    return x - std::floor(x);
}

double wrapLongitude(double longitude) {
    while (longitude > 180.0) {
        longitude -= 360.0;
    }
    while (longitude < -180.0) {
        longitude += 360.0;
    }
    return longitude;
}

TrafficLine aircraftLine(int k, const PositionReport& user, double elapsedSeconds, double utcSeconds) {
    const double radiusNm = 1.0 + 3.0 * spread(k, 0);
    const double speedKt = 160.0 + 90.0 * spread(k, 2);
    // Clockwise round the user: the bearing from the user grows at speed / radius radians an hour.
    const double bearing =
        2.0 * std::numbers::pi * spread(k, 3) + speedKt / radiusNm * elapsedSeconds / 3600.0;
    const double cosLatitude = std::max(std::cos(user.latitude * kRadiansPerDegree), 0.01);

    TrafficLine line;
    line.hexid = kFirstAutoHexid + static_cast<unsigned>(k);
    line.callsign = fmt::format("FEED{:03}", k + 1);
    line.registration = fmt::format("PH-F{:03}", k + 1);
    line.latitude = std::clamp(user.latitude + radiusNm / 60.0 * std::cos(bearing), -89.9, 89.9);
    line.longitude = wrapLongitude(user.longitude + radiusNm / 60.0 * std::sin(bearing) / cosLatitude);
    line.altitude = std::round(3000.0 + 6000.0 * spread(k, 1));
    line.groundSpeed = std::round(speedKt);
    line.trueAirspeed = line.groundSpeed;
    line.verticalRate = 0;
    const double trackDegrees = std::fmod(bearing / kRadiansPerDegree + 90.0, 360.0);
    line.track = trackDegrees;
    line.trueHeading = trackDegrees;
    line.roll = -1;
    line.time = utcSeconds;
    return line;
}

} // namespace

std::vector<TrafficLine> autoTrafficLines(int count, const PositionReport& user, double elapsedSeconds,
                                          double utcSeconds) {
    std::vector<TrafficLine> lines;
    for (int k = 0; k < count; ++k) {
        lines.push_back(aircraftLine(k, user, elapsedSeconds, utcSeconds));
    }
    return lines;
}

} // namespace zeph::rtfeed
