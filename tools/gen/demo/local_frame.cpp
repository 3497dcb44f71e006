#include "gen/demo/local_frame.h"

#include <cmath>
#include <numbers>

namespace zeph::gen {

namespace {

constexpr double kEarthRadiusMetres = 6371008.8;
constexpr double kDegToRad = std::numbers::pi / 180.0;

struct Axes {
    double xEast, xNorth, yEast, yNorth;
};

Axes axesOf(double xBearingDeg) {
    const double x = xBearingDeg * kDegToRad;
    const double y = (xBearingDeg - 90.0) * kDegToRad;
    return {std::sin(x), std::cos(x), std::sin(y), std::cos(y)};
}

} // namespace

LocalFrame::LocalFrame(GeoDegrees origin, double xBearingDeg) : origin_(origin), xBearingDeg_(xBearingDeg) {}

GeoDegrees LocalFrame::toGeo(LocalPoint point) const {
    const Axes a = axesOf(xBearingDeg_);
    const double east = point.x * a.xEast + point.y * a.yEast;
    const double north = point.x * a.xNorth + point.y * a.yNorth;
    const double metresPerDegLat = kEarthRadiusMetres * kDegToRad;
    const double metresPerDegLon = metresPerDegLat * std::cos(origin_.lat * kDegToRad);
    return {origin_.lat + north / metresPerDegLat, origin_.lon + east / metresPerDegLon};
}

LocalPoint LocalFrame::toLocal(GeoDegrees geo) const {
    const double metresPerDegLat = kEarthRadiusMetres * kDegToRad;
    const double metresPerDegLon = metresPerDegLat * std::cos(origin_.lat * kDegToRad);
    const double east = (geo.lon - origin_.lon) * metresPerDegLon;
    const double north = (geo.lat - origin_.lat) * metresPerDegLat;
    // The axes are orthonormal, so the inverse is the transpose.
    const Axes a = axesOf(xBearingDeg_);
    return {east * a.xEast + north * a.xNorth, east * a.yEast + north * a.yNorth};
}

double LocalFrame::bearingOf(double dx, double dy) const {
    const Axes a = axesOf(xBearingDeg_);
    const double east = dx * a.xEast + dy * a.yEast;
    const double north = dx * a.xNorth + dy * a.yNorth;
    const double deg = std::atan2(east, north) / kDegToRad;
    return deg < 0 ? deg + 360.0 : deg;
}

double distanceBetween(LocalPoint a, LocalPoint b) { return std::hypot(b.x - a.x, b.y - a.y); }

} // namespace zeph::gen
