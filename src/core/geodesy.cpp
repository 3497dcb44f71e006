#include "core/geodesy.h"

#include <algorithm>
#include <cmath>

namespace zeph {

namespace {

// Twice the earth's radius in nautical miles, on a sphere where one minute of arc is one nautical mile.
constexpr double kEarthDiameterNm = 6875.493541569878;
// Feet to radians of arc on the same sphere (a nautical mile of 6076.11549 feet).
constexpr double kRadiansPerFoot = 4.787404208238998e-8;

double square(double x) { return x * x; }

} // namespace

double gf_greatCircleDistance(const GeoPoint& a, const GeoPoint& b) {
    const double latA = a.lat * kDegToRad;
    const double latB = b.lat * kDegToRad;
    const double dLat = latB - latA;
    const double dLon = (b.lon - a.lon) * kDegToRad;
    const double h =
        square(std::sin(dLat / 2)) + std::cos(latA) * std::cos(latB) * square(std::sin(dLon / 2));
    // For nearly opposite points h rounds just above 1, and sqrt(1 - h) would turn the distance into NaN.
    const double hBounded = std::clamp(h, 0.0, 1.0);
    return std::atan2(std::sqrt(hBounded), std::sqrt(1.0 - hBounded)) * kEarthDiameterNm;
}

bool gf_withinDistance(const GeoPoint& a, const GeoPoint& b, double nm) {
    // The way along the meridian, then along the parallel, is never shorter than the great circle; the slack
    // leaves the rounding of both computations to the exact test.
    constexpr double kNmPerDegree = 60.0;
    constexpr double kSlack = 1.0 - 1e-9;
    if ((std::fabs(b.lat - a.lat) + std::fabs(b.lon - a.lon)) * kNmPerDegree <= nm * kSlack) {
        return true;
    }
    return gf_greatCircleDistance(a, b) <= nm;
}

double gf_initialBearing(const GeoPoint& from, const GeoPoint& to) {
    const double latFrom = from.lat * kDegToRad;
    const double latTo = to.lat * kDegToRad;
    const double dLon = (to.lon - from.lon) * kDegToRad;
    const double y = std::sin(dLon) * std::cos(latTo);
    const double x =
        std::cos(latFrom) * std::sin(latTo) - std::sin(latFrom) * std::cos(latTo) * std::cos(dLon);
    const double theta = std::atan2(y, x);
    return theta < 0 ? theta + kTwoPi : theta;
}

GeoPoint gf_destinationPoint(const GeoPoint& start, double bearing, double distanceFeet) {
    const double lat1 = start.lat * kDegToRad;
    const double d = distanceFeet * kRadiansPerFoot;
    const double sinLat1 = std::sin(lat1);
    const double cosLat1 = std::cos(lat1);
    const double cosD = std::cos(d);
    const double sinD = std::sin(d);
    // Near a pole the sine of the new latitude can round past 1, where asin has no answer.
    const double sinLat2 = std::clamp(sinLat1 * cosD + cosLat1 * sinD * std::cos(bearing), -1.0, 1.0);
    const double lat2 = std::asin(sinLat2);
    const double dLon = std::atan2(std::sin(bearing) * sinD * cosLat1, cosD - sinLat1 * std::sin(lat2));
    // The remainder by a full turn brings the longitude back into -pi to pi across the date line.
    const double lon2 = std::remainder(start.lon * kDegToRad + dLon, kTwoPi);
    return GeoPoint{lat2 * kRadToDeg, lon2 * kRadToDeg};
}

} // namespace zeph
